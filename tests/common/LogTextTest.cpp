#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
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

// Some viewers also break lines at NEL, U+2028 and U+2029: those and the other C1 controls are escaped
// byte by byte; the code points beside them and other UTF-8 pass unchanged.
TEST(ClientTextInLogLines, UnicodeLineBreaksAndC1ControlsAreEscapedByteByByte) {
    // {text, log text}
    const std::vector<std::pair<std::string, std::string>> cases{
        {"x\xC2\x85INFO Server stopped", "x\\xc2\\x85INFO Server stopped"},  // NEL
        {"<\xC2\x80>", "<\\xc2\\x80>"},                                      // U+0080
        {"<\xC2\x9F>", "<\\xc2\\x9f>"},                                      // U+009F
        {"<\xE2\x80\xA8>", "<\\xe2\\x80\\xa8>"},                             // U+2028
        {"<\xE2\x80\xA9>", "<\\xe2\\x80\\xa9>"},                             // U+2029
        {"\xC2\x85\xC2\x85", "\\xc2\\x85\\xc2\\x85"},
        {"<~\xC2\xA0\xC2\xBF>", "<~\xC2\xA0\xC2\xBF>"},                // U+007E, U+00A0, U+00BF
        {"<\xE2\x80\xA7\xE2\x80\xAA>", "<\xE2\x80\xA7\xE2\x80\xAA>"},  // U+2027, U+202A
        {"caf\xC3\xA9 5\xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 5\xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",  // edges
         "\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [text, logged] : cases) {
        EXPECT_EQ(logged, logSafeText(text)) << testing::PrintToString(text);
    }
}

// Bytes that are not UTF-8 reach the log as \xNN each, whatever a viewer would make of them.
TEST(ClientTextInLogLines, IllFormedUtf8IsEscapedByteByByte) {
    // {text, log text}
    const std::vector<std::pair<std::string, std::string>> cases{
        {"<\x80>", "<\\x80>"},  // lone continuation bytes
        {"<\xBF\x80\xBF>", "<\\xbf\\x80\\xbf>"},
        {"<\xC0\xAF>", "<\\xc0\\xaf>"},                    // overlong '/', 2 bytes
        {"<\xC1\xBF>", "<\\xc1\\xbf>"},                    // overlong U+007F
        {"<\xE0\x80\xAF>", "<\\xe0\\x80\\xaf>"},           // overlong '/', 3 bytes
        {"<\xE0\x9F\xBF>", "<\\xe0\\x9f\\xbf>"},           // overlong U+07FF
        {"<\xF0\x8F\xBF\xBF>", "<\\xf0\\x8f\\xbf\\xbf>"},  // overlong U+FFFF
        {"<\xED\xA0\x80>", "<\\xed\\xa0\\x80>"},           // surrogates
        {"<\xED\xBF\xBF>", "<\\xed\\xbf\\xbf>"},
        {"<\xF4\x90\x80\x80>", "<\\xf4\\x90\\x80\\x80>"},  // above U+10FFFF
        {"<\xF5\x80\x80\x80>", "<\\xf5\\x80\\x80\\x80>"},  // F5..FF lead bytes
        {"<\xF8\x88\x80\x80\x80>", "<\\xf8\\x88\\x80\\x80\\x80>"},
        {"<\xFE\xFF>", "<\\xfe\\xff>"},
        {"<\xE2\x82>", "<\\xe2\\x82>"},  // cut-off sequences
        {"<\xF0\x9F\x98>", "<\\xf0\\x9f\\x98>"},
        {"\xE2\x82", "\\xe2\\x82"},
        {"\xF0\x9F\x98", "\\xf0\\x9f\\x98"},
        {"\xC3", "\\xc3"},
        {"\xC3(\xE2\x82\xAC", "\\xc3(\xE2\x82\xAC"},  // what follows is read afresh
        {"\xE2\x82\xE2\x82\xAC", "\\xe2\\x82\xE2\x82\xAC"},
        {"\xF0\x9F\x98\xC2\x85\x80", "\\xf0\\x9f\\x98\\xc2\\x85\\x80"},
    };
    for (const auto& [text, logged] : cases) {
        EXPECT_EQ(logged, logSafeText(text)) << testing::PrintToString(text);
    }
}

// An escaped sequence is shown whole or not at all, as an ill-formed one is (its maximal subpart); the
// note comes after the limit, not within it.
TEST(ClientTextInLogLines, TheCutKeepsEscapedSequencesWholeAndTheNoteFollowsTheLimit) {
    // {text, limit, log text}
    const std::vector<std::tuple<std::string, std::size_t, std::string>> cases{
        {"ab\xC2\x85", 10, "ab\\xc2\\x85"},
        {"ab\xC2\x85", 9, "ab ... (2 bytes cut)"},
        {"ab\xC2\x85", 6, "ab ... (2 bytes cut)"},
        {"ab\xE2\x80\xA8z", 15, "ab\\xe2\\x80\\xa8z"},
        {"ab\xE2\x80\xA8z", 14, "ab\\xe2\\x80\\xa8 ... (1 bytes cut)"},
        {"ab\xE2\x80\xA8z", 13, "ab ... (4 bytes cut)"},
        {"ab\xE2\x80\xA8z", 7, "ab ... (4 bytes cut)"},
        {"abc\xFF", 7, "abc\\xff"},
        {"abc\xFF", 6, "abc ... (1 bytes cut)"},
        {"ab\xE2\x82", 10, "ab\\xe2\\x82"},
        {"ab\xE2\x82", 9, "ab ... (2 bytes cut)"},
        {"ab\xE2\x82\xFF", 13, "ab\\xe2\\x82 ... (1 bytes cut)"},
        {"ab\xC2\xA0\xC2\x85", 4, "ab\xC2\xA0 ... (2 bytes cut)"},
        {"ab\xC2\xA0\xC2\x85", 3, "ab ... (4 bytes cut)"},
        {std::string(4088, 'a') + "\xC2\x85", kLogTextLimit, std::string(4088, 'a') + "\\xc2\\x85"},
        {std::string(4088, 'a') + "\xC2\x85!", kLogTextLimit,
         std::string(4088, 'a') + "\\xc2\\x85 ... (1 bytes cut)"},
        {std::string(4089, 'a') + "\xC2\x85", kLogTextLimit, std::string(4089, 'a') + " ... (2 bytes cut)"},
    };
    for (const auto& [text, limit, logged] : cases) {
        EXPECT_EQ(logged, logSafeText(text, limit)) << testing::PrintToString(text);
    }
}

}  // namespace
