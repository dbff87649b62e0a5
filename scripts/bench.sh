#!/usr/bin/env bash
# Benchmarks the service against its floors and prints one table (see bench/README.md).
# Installs what is missing, builds in Release with the benchmarks, generates an exchange database,
# starts the real server on free loopback ports and measures each request beside:
#   - the same HTTP exchange answered by a bare libmicrohttpd server with a fixed text,
#   - the same SQLite statements run by a bare loop over the SQLite C interface (open, query, close),
#   - the service's Worker called in-process (no HTTP).
# Figures are medians of BENCH_RUNS runs. Nothing here asserts a timing.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BENCH_BUILD_DIR:-build-bench}
RUNS=${BENCH_RUNS:-5}
HTTP_SECONDS=${BENCH_HTTP_SECONDS:-2}   # wrk takes whole seconds
LOOP_SECONDS=${BENCH_LOOP_SECONDS:-1}
MICRO_MIN_TIME=${BENCH_MICRO_MIN_TIME:-0.2}

./scripts/deps.sh
missing=""
for p in wrk libbenchmark-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi

echo "=== building $BUILD (Release) ==="
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELBRIN_BENCH=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target PelbrinSrv bench_tool micro_json micro_parse micro_tables \
    micro_collision >"$BUILD/bench-build.log" 2>&1 || { cat "$BUILD/bench-build.log"; exit 1; }

SERVER=$ROOT/$BUILD/PelbrinSrv/PelbrinSrv
TOOL=$ROOT/$BUILD/bench/bench_tool
LUA=$ROOT/bench/wrk.lua
WORK=$(mktemp -d "${TMPDIR:-/tmp}/pelbrin-bench.XXXXXX")
DB=$WORK/exchange.db
PRISTINE=$WORK/pristine.db
SRV_PID=""
BARE_PID=""

cleanup() {
    if [ -n "$BARE_PID" ]; then kill "$BARE_PID" 2>/dev/null || true; wait "$BARE_PID" 2>/dev/null || true; fi
    if [ -n "$SRV_PID" ]; then kill "$SRV_PID" 2>/dev/null || true; wait "$SRV_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

# --- database ---
echo "=== generating the exchange database ==="
"$TOOL" gendb "$PRISTINE"
q() { sqlite3 "$PRISTINE" "$1"; }
USER_NAME=$(q "select exten from exten where id = 438")
USER_PASS=$(q "select www_pass from exten where id = 438")
# The newest 20,000 calls: starts are more than a minute apart, so a bound to the minute is exact.
FROM_DATE=$(q "select substr(start, 1, 16) from cdr order by start desc limit 1 offset 19999")
# An inactive rate whose key no other rate has: toggling it never collides.
TOGGLE_RATE=$(q "select id from rate r where active = 0 and (select count(*) from rate s where s.prefix = r.prefix) = 1 \
                 order by id limit 1")
ACTIVE_RECORDS=$(q "select sum(case when extensions = '' then 1 else length(extensions) - \
                    length(replace(extensions, ',', '')) + 1 end) from rate where active = 1")
DB_SHAPE="$(q "select count(*) from cdr") calls, $(q "select count(*) from exten") extensions, \
$(q "select count(*) from rate") rates ($(q "select sum(active) from rate") active, $ACTIVE_RECORDS active records), \
$(q "select count(*) from recharge_history") recharges, $(du -h "$PRISTINE" | cut -f1)"
echo "$DB_SHAPE"
restore() { cp "$PRISTINE" "$DB"; }
restore

# --- requests (placeholders: see bench/wrk.lua) ---
ADMIN='"auth":{"name":"trivx","pass":"trivx","admin":true}'
USER_AUTH="\"auth\":{\"name\":\"$USER_NAME\",\"pass\":\"$USER_PASS\",\"admin\":false}"
request_file() { printf '%s\n' "$2" >"$WORK/$1.json"; echo "$WORK/$1.json"; }
REQ_ECHO=$(request_file echo "{\"request\":\"ECHO\",\"arg\":{\"value\":\"hello\"},$ADMIN}")
REQ_SETTINGS=$(request_file settings "{\"request\":\"GET_SETTINGS\",\"arg\":null,$USER_AUTH}")
REQ_LOGIN=$(request_file login "{\"request\":\"LOGIN\",\"arg\":null,$USER_AUTH}")
REQ_CALLS=$(request_file calls "{\"request\":\"GET_CALL_LOGS\",\"arg\":{\"from_date\":\"$FROM_DATE\"},$ADMIN}")
REQ_ADD=$(request_file addrate "{\"request\":\"ADD_RATE\",\"arg\":{\"prefix\":\"77XNX\",\"number_length\":\"11\",\
\"rate\":\"0.25\",\"bill_unit\":\"60\",\"from_hour\":\"08:00\",\"to_hour\":\"20:00\",\"init_cost\":\"0\",\
\"init_time\":\"0\",\"extensions\":[\"101\",\"102\"],\"active\":\"1\"},$ADMIN}")
REQ_ACTIVATE=$(request_file activate "{\"request\":\"ACTIVATE_RATE\",\"arg\":{\"rate_id\":\"$TOGGLE_RATE\",\
\"active\":\"XTX\"},$ADMIN}")
REQ_CHARGE=$(request_file charge "{\"request\":\"CHARGE_EXTEN\",\"arg\":{\"exten_array\":[\"XAX\",\"XBX\",\"XCX\"],\
\"value\":\"1.5\"},$ADMIN}")

# --- servers ---
wait_for_port() {
    for _ in $(seq 1 100); do
        curl -s -o /dev/null "http://127.0.0.1:$1/" && return 0
        sleep 0.05
    done
    echo "server on port $1 did not come up" >&2
    exit 1
}
start_server() {
    SRV_PORT=$("$TOOL" freeport)
    "$SERVER" -d "$DB" -p "$SRV_PORT" -u -r 20000 -c "$1" >"$WORK/server.log" 2>&1 &
    SRV_PID=$!
    wait_for_port "$SRV_PORT"
}
stop_server() { kill "$SRV_PID"; wait "$SRV_PID" || true; SRV_PID=""; }
start_bare() {
    "$TOOL" bare-http 0 "$1" "$2" >"$WORK/bare.out" 2>&1 &
    BARE_PID=$!
    for _ in $(seq 1 100); do
        BARE_PORT=$(awk '/^PORT/ {print $2}' "$WORK/bare.out")
        [ -n "$BARE_PORT" ] && break
        sleep 0.05
    done
    wait_for_port "$BARE_PORT"
}
stop_bare() { kill "$BARE_PID"; wait "$BARE_PID" || true; BARE_PID=""; }

# The request once, placeholders filled by hand; it must succeed, and its answer is the bare server's text.
check_request() {
    local file=$1 out=$2
    sed 's/XNX/1/g; s/XTX/1/g; s/XAX/1/g; s/XBX/2/g; s/XCX/3/g' "$file" >"$WORK/check.json"
    curl -s -o "$out" "http://127.0.0.1:$SRV_PORT/Pelbrin?request=$("$TOOL" urlencode "$WORK/check.json")"
    if ! grep -q '"error_code":0,' "$out"; then
        echo "request failed: $(cat "$WORK/check.json")" >&2
        head -c 300 "$out" >&2
        exit 1
    fi
}

val() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print 0; else if (NR % 2) print v[(NR + 1) / 2];
                            else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Parenthesised, or awk would read "a > b" as printing into a file named b.
calc() { awk "BEGIN { printf \"$1\", ($2) }"; }
# User and system time of a process so far, in clock ticks (the command name holds no blank).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
TICK=$(getconf CLK_TCK)

# wrk_run PORT PID THREADS CONNECTIONS PATH: one WRK line plus the server's CPU ticks spent during it.
wrk_run() {
    local before after line
    before=$(cpu_ticks "$2")
    line=$(wrk -t"$3" -c"$4" -d"${HTTP_SECONDS}s" --timeout 10s -s "$LUA" "http://127.0.0.1:$1" -- "$5" | grep '^WRK')
    after=$(cpu_ticks "$2")
    echo "$line cpu_ticks=$((after - before))"
}
# Medians over a file of result lines.
med_rate() { while read -r l; do calc "%.3f\n" "$(val "$l" requests) * 1e6 / $(val "$l" duration_us)"; done <"$1" | median; }
med_cpu() { while read -r l; do calc "%.3f\n" "$(val "$l" cpu_ticks) * 1e6 / $TICK / $(val "$l" requests)"; done <"$1" | median; }
med_val() { while read -r l; do val "$l" "$2"; done <"$1" | median; }

LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
RESULTS=$WORK/results.txt
: >"$RESULTS"

# scenario LABEL REQUEST_FILE SERVER_LIMIT WRK_THREADS WRK_CONNECTIONS LOOP_THREADS FLOOR_MODE [FLOOR_OPTION ...]
scenario() {
    local label=$1 file=$2 limit=$3 threads=$4 conns=$5 k=$6 mode=$7
    local options=("${@:8}")
    echo "=== $label: wrk -t$threads -c$conns, server -c $limit, loops on $k threads ==="
    local path
    path="/Pelbrin?request=$("$TOOL" urlencode "$file")"
    check_request "$file" "$WORK/answer.txt"
    restore
    start_bare "$limit" "$WORK/answer.txt"
    local svc=$WORK/svc.txt bare=$WORK/bare.txt floor=$WORK/floor.txt inproc=$WORK/inproc.txt
    : >"$svc"; : >"$bare"; : >"$floor"; : >"$inproc"
    for run in $(seq 1 "$RUNS"); do
        restore
        wrk_run "$SRV_PORT" "$SRV_PID" "$threads" "$conns" "$path" >>"$svc"
        wrk_run "$BARE_PORT" "$BARE_PID" "$threads" "$conns" "$path" >>"$bare"
        if [ "$mode" != none ]; then
            restore
            "$TOOL" floor "$mode" "$DB" "$k" "$LOOP_SECONDS" "${options[@]}" | grep '^RESULT' >>"$floor"
        fi
        restore
        "$TOOL" inproc "$DB" "$k" "$LOOP_SECONDS" "$file" | grep '^RESULT' >>"$inproc"
        echo "  run $run: service $(calc "%.0f" "$(val "$(tail -1 "$svc")" requests) / $HTTP_SECONDS") req/s," \
             "bare HTTP $(calc "%.0f" "$(val "$(tail -1 "$bare")" requests) / $HTTP_SECONDS") req/s"
    done
    stop_bare
    local errors inproc_app
    errors=$(awk '{ for (i = 2; i <= NF; i++) { split($i, kv, "="); s[kv[1]] += kv[2] } }
                  END { printf "sock %d, non-2xx %d, timeout %d, app %d", s["connect"] + s["read"] + s["write"],
                        s["status"], s["timeout"], s["app_errors"] }' "$svc")
    inproc_app=$(awk '{ for (i = 2; i <= NF; i++) { split($i, kv, "="); s[kv[1]] += kv[2] } }
                      END { print s["failures"] + 0 }' "$inproc")
    # label|service rps|bare rps|floor ops/s|in-process ops/s|service CPU us|bare CPU us|floor CPU us|
    # in-process CPU us|p50 us|MB/s|errors|in-process failures
    printf '%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s\n' "$label" "$(med_rate "$svc")" "$(med_rate "$bare")" \
        "$(med_val "$floor" ops_per_s)" "$(med_val "$inproc" ops_per_s)" "$(med_cpu "$svc")" "$(med_cpu "$bare")" \
        "$(med_val "$floor" cpu_us_per_op)" "$(med_val "$inproc" cpu_us_per_op)" "$(med_val "$svc" lat_p50_us)" \
        "$(while read -r l; do calc "%.3f\n" "$(val "$l" bytes) / $(val "$l" duration_us)"; done <"$svc" | median)" \
        "$errors" "$inproc_app" >>"$RESULTS"
}

start_server 7
scenario "ECHO, 8 clients, -c 7" "$REQ_ECHO" 7 4 8 7 none
scenario "GET_SETTINGS (user), 8 clients, -c 7" "$REQ_SETTINGS" 7 4 8 7 settings "user=$USER_NAME" "pass=$USER_PASS"
scenario "LOGIN (user), 8 clients, -c 7" "$REQ_LOGIN" 7 4 8 7 login "user=$USER_NAME" "pass=$USER_PASS"
scenario "CHARGE_EXTEN 3 ids, 8 clients, -c 7" "$REQ_CHARGE" 7 4 8 7 charge "extens=1000"
scenario "GET_CALL_LOGS 20,000 rows, 1 client" "$REQ_CALLS" 7 1 1 1 calllogs "from=$FROM_DATE"
scenario "ADD_RATE, $ACTIVE_RECORDS active records, 1 client" "$REQ_ADD" 7 1 1 1 addrate
scenario "ACTIVATE_RATE, $ACTIVE_RECORDS active records, 1 client" "$REQ_ACTIVATE" 7 1 1 1 activate "rate=$TOGGLE_RATE"
stop_server
start_server 64
scenario "ECHO, 64 clients, -c 64" "$REQ_ECHO" 64 4 64 64 none
scenario "GET_SETTINGS (user), 64 clients, -c 64" "$REQ_SETTINGS" 64 4 64 64 settings "user=$USER_NAME" "pass=$USER_PASS"
scenario "LOGIN (user), 64 clients, -c 64" "$REQ_LOGIN" 64 4 64 64 login "user=$USER_NAME" "pass=$USER_PASS"
scenario "CHARGE_EXTEN 3 ids, 64 clients, -c 64" "$REQ_CHARGE" 64 4 64 64 charge "extens=1000"
stop_server

# --- micro-benchmarks: medians of three repetitions ---
echo "=== micro-benchmarks ==="
for m in micro_json micro_parse micro_tables micro_collision; do
    (cd "$WORK" && "$ROOT/$BUILD/bench/$m" --benchmark_min_time="$MICRO_MIN_TIME" --benchmark_min_warmup_time=0.05 \
        --benchmark_repetitions=3 --benchmark_report_aggregates_only=true --benchmark_format=csv >"$WORK/$m.csv" 2>"$WORK/$m.err") ||
        { cat "$WORK/$m.err"; exit 1; }
done
# micro_ns NAME -> median real time of the benchmark NAME in nanoseconds
micro_ns() { cat "$WORK"/micro_*.csv | awk -F, -v n="\"$1_median\"" '$1 == n {
    f = ($5 == "ns") ? 1 : ($5 == "us") ? 1e3 : ($5 == "ms") ? 1e6 : 1e9; print $3 * f }'; }

# --- the table ---
ms() { calc "%.2f" "$1 / 1e6"; }
{
    echo "Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), \
$(free -h | awk '/^Mem:/ {print $2}') memory; $(uname -sr); SQLite $(sqlite3 --version | cut -d' ' -f1), \
libmicrohttpd $(dpkg-query -W -f='${Version}' libmicrohttpd-dev 2>/dev/null), wrk $(dpkg-query -W -f='${Version}' wrk)"
    echo "Load average (1/5/15 min) at start: $LOAD_START; at end: $(cut -d' ' -f1-3 /proc/loadavg)."
    echo "Database: $DB_SHAPE. Medians of $RUNS runs (HTTP ${HTTP_SECONDS}s, loops ${LOOP_SECONDS}s each)."
    echo
    echo "| request | service | floor (bare HTTP + bare SQLite) | ratio | server CPU per request: service vs floor | ratio | in-process Worker / bare SQLite (CPU) | service errors |"
    echo "|---|---|---|---|---|---|---|---|"
    while IFS='|' read -r label svc bare floor inproc svc_cpu bare_cpu floor_cpu inproc_cpu p50 mbps errors inproc_app; do
        if [ "$(calc "%d" "$floor > 0")" = 1 ]; then
            floor_rps=$(calc "%.3f" "1 / (1 / $bare + 1 / $floor)")
            floor_text="$(calc "%.0f" "$floor_rps") req/s ($(calc "%.0f" "$bare") + $(calc "%.0f" "$floor")/s)"
            cpu_floor=$(calc "%.3f" "$bare_cpu + $floor_cpu")
            cpu_text="$(calc "%.0f" "$svc_cpu") vs $(calc "%.0f" "$cpu_floor") µs ($(calc "%.0f" "$bare_cpu") + $(calc "%.0f" "$floor_cpu"))"
            inproc_ratio=$(calc "%.2f" "$inproc_cpu / $floor_cpu")
        else
            floor_rps=$bare
            floor_text="$(calc "%.0f" "$bare") req/s (bare HTTP)"
            cpu_floor=$bare_cpu
            cpu_text="$(calc "%.0f" "$svc_cpu") vs $(calc "%.0f" "$bare_cpu") µs"
            inproc_ratio="- ($(calc "%.1f" "$inproc_cpu") µs)"
        fi
        if [[ $label == *"1 client"* ]]; then
            service_text="$(calc "%.2f" "1000 / $svc") ms (p50 $(calc "%.2f" "$p50 / 1000") ms"
            [[ $label == GET_CALL_LOGS* ]] && service_text="$service_text, $(calc "%.1f" "$mbps") MB/s"
            service_text="$service_text)"
            floor_text="$(calc "%.2f" "1000 / $floor_rps") ms ($(calc "%.2f" "1000 / $bare") + $(calc "%.2f" "1000 / $floor"))"
        else
            service_text="$(calc "%.0f" "$svc") req/s"
        fi
        [ "$inproc_app" != 0 ] && errors="$errors; in-process failures $inproc_app"
        echo "| $label | $service_text | $floor_text | $(calc "%.2f" "$floor_rps / $svc") | $cpu_text |" \
             "$(calc "%.2f" "$svc_cpu / $cpu_floor") | $inproc_ratio | $errors |"
    done <"$RESULTS"
    echo
    echo "| micro-benchmark (median of 3) | time | floor | ratio |"
    echo "|---|---|---|---|"
    labels=("short (3 B)" "long (4 KiB)" "escapes (4 KiB)")
    for kind in 0 1 2; do
        inplace=$(micro_ns "BM_appendJsonStringInPlace/$kind")
        for fn in cJSON_EncodeString encodedJsonString; do
            t=$(micro_ns "BM_$fn/$kind")
            echo "| $fn, ${labels[$kind]} | $(calc "%.0f" "$t") ns | in place $(calc "%.0f" "$inplace") ns | $(calc "%.2f" "$t / $inplace") |"
        done
    done
    i=0
    for label in ECHO LOGIN CHARGE_EXTEN ADD_RATE; do
        echo "| parseRequestOrThrow, $label | $(calc "%.0f" "$(micro_ns "BM_parseRequestOrThrow/$i")") ns | - | - |"
        i=$((i + 1))
    done
    for rows in 1000 20000; do
        bare=$(micro_ns "BM_bareJsonLoop/$rows")
        direct=$(micro_ns "BM_performSelectAndReturnString/$rows")
        table=$(micro_ns "BM_performSelect/$rows")
        tojson=$(micro_ns "BM_korvuDataToJsonString/$rows")
        echo "| performSelectAndReturnString, $rows rows | $(ms "$direct") ms | bare JSON loop $(ms "$bare") ms | $(calc "%.2f" "$direct / $bare") |"
        echo "| performSelect + korvuDataToJsonString, $rows rows | $(ms "$table") + $(ms "$tojson") ms | bare JSON loop $(ms "$bare") ms | $(calc "%.2f" "($table + $tojson) / $bare") |"
    done
    for n in 100 1000 10000 100000; do
        echo "| countRateCollisions, $n records | $(calc "%.3f" "$(micro_ns "BM_countRateCollisions/$n") / 1e6") ms | - | - |"
    done
    for n in 100 1000 10000 100000; do
        t=$(micro_ns "BM_activateRateCheck/$n")
        bare=$(micro_ns "BM_activateRateFloor/$n")
        echo "| activateRate (update, read, check, commit), $n records | $(ms "$t") ms | bare SQLite $(ms "$bare") ms | $(calc "%.2f" "$t / $bare") |"
    done
    for n in 100 1000 10000 100000; do
        echo "| addRate (insert, read, check, commit), $n records | $(ms "$(micro_ns "BM_addRateCheck/$n")") ms | - | - |"
    done
} >"$WORK/table.md"
cp "$WORK/table.md" "$BUILD/bench-results.md"
echo
cat "$WORK/table.md"
