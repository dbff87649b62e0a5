#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How many bytes of client text one log line shows at most.
constexpr std::size_t kLogTextLimit = 4096;

// Text that came from a client, made fit for one log line: a line break in it must not forge lines,
// and its size must not roll the log over. Control characters (bytes below 0x20 and 0x7F) become
// \n, \r, \t or \xNN; everything else passes unchanged. When the result would exceed limit bytes it
// is cut before that, never inside an escape or a UTF-8 sequence, and " ... (N bytes cut)" tells how
// many bytes of text are not shown.
std::string logSafeText(std::string_view text, std::size_t limit = kLogTextLimit);
