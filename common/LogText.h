#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How many bytes of client text one log line shows at most.
constexpr std::size_t kLogTextLimit = 4096;

// Text that came from a client, made fit for one log line: a line break in it must not forge lines,
// and its size must not roll the log over. C0 controls and DEL become \n, \r, \t or \xNN; C1 controls
// (NEL among them), U+2028, U+2029 and ill-formed UTF-8 become \xNN per byte; other UTF-8 passes
// unchanged. What is shown of the text takes at most limit bytes: when it must be cut, the cut comes
// before a whole escape or UTF-8 sequence (an ill-formed one taken as its maximal subpart), and
// " ... (N bytes cut)" follows, beyond the limit, N counting the bytes of text not shown ("1 bytes"
// for one).
std::string logSafeText(std::string_view text, std::size_t limit = kLogTextLimit);
