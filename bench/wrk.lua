-- wrk script for scripts/bench.sh: wrk ... -s bench/wrk.lua URL -- PATH_TEMPLATE
-- The path template is "/Pelbrin?request=" and the URL-encoded request; placeholders are filled per request
-- as bench_tool fills them (BenchUtil.h): XNX unique number, XTX toggling 1/0, XAX XBX XCX distinct ids 1..1000.
-- Every response is checked for error_code 0; done() prints one machine-readable line.

local threads = {}
local count = 0

function setup(thread)
   count = count + 1
   thread:set("tid", count)
   table.insert(threads, thread)
end

function init(args)
   template = args[1]
   dynamic = template:find("XNX", 1, true) or template:find("XTX", 1, true) or template:find("XAX", 1, true)
   fixedRequest = wrk.format("GET", template)
   sequence = 0
   responses = 0
   app_errors = 0
   math.randomseed(tid * 7919 + 17)
end

local function threeIds()
   local a = math.random(1, 1000)
   local b = math.random(1, 1000)
   while b == a do b = math.random(1, 1000) end
   local c = math.random(1, 1000)
   while c == a or c == b do c = math.random(1, 1000) end
   return a, b, c
end

function request()
   if not dynamic then return fixedRequest end
   sequence = sequence + 1
   local a, b, c = threeIds()
   local path = template:gsub("XNX", tostring(tid * 10000000 + sequence))
   path = path:gsub("XTX", sequence % 2 == 1 and "1" or "0")
   path = path:gsub("XAX", tostring(a)):gsub("XBX", tostring(b)):gsub("XCX", tostring(c))
   return wrk.format("GET", path)
end

function response(status, headers, body)
   responses = responses + 1
   if status ~= 200 or not body:find('"error_code":0,', 1, true) then
      app_errors = app_errors + 1
   end
end

function done(summary, latency, requests)
   local errors, answered = 0, 0
   for _, thread in ipairs(threads) do
      errors = errors + thread:get("app_errors")
      answered = answered + thread:get("responses")
   end
   local e = summary.errors
   io.write(string.format(
      "WRK requests=%d duration_us=%d bytes=%d connect=%d read=%d write=%d status=%d timeout=%d " ..
      "lat_mean_us=%.1f lat_p50_us=%d lat_p99_us=%d app_errors=%d responses=%d\n",
      summary.requests, summary.duration, summary.bytes, e.connect, e.read, e.write, e.status, e.timeout,
      latency.mean, latency:percentile(50), latency:percentile(99), errors, answered))
end
