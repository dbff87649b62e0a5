#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/LogText.h"

namespace {

// Client text cannot start a line of its own in the log, and a cut never splits an escape or a UTF-8
// sequence and says how many bytes it left out.
TEST(ClientTextInLogLines, ControlCharactersAreEscapedAndLongTextIsCutWithANote) {
    // {text, limit, log text}
    const std::vector<std::tuple<std::string, std::size_t, std::string>> cases{
        {"Cannot parse JSON: {\"a\\\\\":\"b/\xC3\xA9\"}", kLogTextLimit,
         "Cannot parse JSON: {\"a\\\\\":\"b/\xC3\xA9\"}"},
        {"x\n2024-01-01 INFO Server stopped\r\n", kLogTextLimit, "x\\n2024-01-01 INFO Server stopped\\r\\n"},
        {std::string("\t\0\x01\x1b\x1f\x7f|", 7), kLogTextLimit, "\\t\\x00\\x01\\x1b\\x1f\\x7f|"},
        {"abcdefgh", 8, "abcdefgh"},
        {"abcdefghi", 8, "abcdefgh ... (1 bytes cut)"},
        {"abcdef\nghi", 8, "abcdef\\n ... (3 bytes cut)"},
        {"abcdefg\nhi", 8, "abcdefg ... (3 bytes cut)"},  // not half an escape
        {"abcdefg\x01hi", 10, "abcdefg ... (3 bytes cut)"},
        {"abcdef\xE2\x82\xAC", 8, "abcdef ... (3 bytes cut)"},  // nor part of a UTF-8 sequence
        {"abcd\xF0\x9F\x98\x80z", 8, "abcd\xF0\x9F\x98\x80 ... (1 bytes cut)"},
        {std::string(10000, 'a'), kLogTextLimit, std::string(4096, 'a') + " ... (5904 bytes cut)"},
    };
    for (const auto& [text, limit, logged] : cases) {
        EXPECT_EQ(logged, logSafeText(text, limit)) << testing::PrintToString(text);
    }
}

}  // namespace
