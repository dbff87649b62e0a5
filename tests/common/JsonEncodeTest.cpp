#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/JsonEncode.h"
#include "common/JsonPtr.h"

namespace {

std::string encode(const char* text) {
    const EncodedText encoded(cJSON_EncodeString(text));
    return encoded ? encoded.get() : "<no buffer>";
}

// Every byte alone and all together match cJSON's printer (bytes that are not UTF-8 as U+FFFD), read
// back through its parser, and are what the append form adds; both forms stop at a NUL byte, the append
// form also at the length.
TEST(JsonStringEncoding, EachByteClassHasItsFormAndAllBytesRoundTripThroughCJson) {
    EXPECT_EQ("", encode(nullptr));  // not even quotation marks
    EXPECT_EQ(R"("")", encode(""));
    EXPECT_EQ(R"("a/b \"\\\b\t\n\f\r\u0001\u001f\u001b)"
              "\x7f\xef\xbf\xbd Grüße, Привет\"",
              encode("a/b \"\\\b\t\n\f\r\x01\x1f\x1b\x7f\x80 Grüße, Привет"));
    EXPECT_EQ(R"("ab\"")", proto::encodedJsonString(std::string("ab\"\0cd", 6)));
    std::string all, out = "[";
    for (int b = 1; b <= 0xFF; ++b) all += static_cast<char>(b);
    for (std::size_t i = 0; i <= all.size(); ++i) {
        const std::string text = i < all.size() ? all.substr(i, 1) : all, encoded = encode(text.c_str());
        // No two of these bytes form a UTF-8 sequence, so each byte from 0x80 up is one U+FFFD.
        std::string sound;
        for (const char c : text)
            sound += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
        const JsonText printed(cJSON_PrintUnformatted(JsonPtr(cJSON_CreateString(sound.c_str())).get()));
        const JsonPtr parsed(cJSON_Parse(encoded.c_str()));
        std::string appended = "x";
        proto::appendEncodedJsonString(appended, text.data(), text.size());
        EXPECT_STREQ(printed.get(), encoded.c_str());
        EXPECT_STREQ(sound.c_str(), cJSON_IsString(parsed.get()) ? parsed->valuestring : "<not a string>");
        EXPECT_EQ("x" + encoded, appended) << "byte " << i + 1;
    }
    proto::appendEncodedJsonString(out, "a\"\0b\n", 5);
    proto::appendEncodedJsonString(out, "a\tb\n", 3);
    proto::appendEncodedJsonString(out, nullptr, 3);
    proto::appendEncodedJsonString(out, "", 0);
    EXPECT_EQ(R"(["a\"""a\tb""")", out);
}

// Each maximal subpart of an ill-formed sequence is one U+FFFD (Unicode's table of well-formed UTF-8),
// alike from every writer: the encoder, its append form, and a printed cJSON tree made sound afterwards.
TEST(JsonStringEncoding, OnlyWellFormedUtf8PassesAndEachIllFormedSubpartBecomesOneReplacement) {
    const std::string R = "\xEF\xBF\xBD";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF",
         "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF"},
        {"\xF0\x90\x80\x80 \xF3\xBF\xBF\xBF \xF4\x8F\xBF\xBF",
         "\xF0\x90\x80\x80 \xF3\xBF\xBF\xBF \xF4\x8F\xBF\xBF"},
        {"\xC0\x80|\xC1\xBF", R + R + "|" + R + R},                  // overlong two-byte forms
        {"\xE0\x80\x80|\xE0\x9F\xBF", R + R + R + "|" + R + R + R},  // overlong three-byte forms
        {"\xF0\x80\x80\x80|\xF0\x8F\xBF\xBF", R + R + R + R + "|" + R + R + R + R},
        {"\xED\xA0\x80|\xED\xBF\xBF", R + R + R + "|" + R + R + R},  // surrogates
        {"\xF4\x90\x80\x80", R + R + R + R},                         // above U+10FFFF
        {"\xF5\xF8\xFC\xFE\xFF", R + R + R + R + R},
        {"z\x80y\xBF\xBFx", "z" + R + "y" + R + R + "x"},  // lone continuation bytes
        {"\xE2\x82", R},                                   // truncated at the end
        {"\xF0\x9F\x98", R},
        {"\xE2\x82z\xF0\x9F\x98\xE2\x82\xAC", R + "z" + R + "\xE2\x82\xAC"},  // and in the middle
        {"\xC3\"\xE2\x82\n\xF4\x8F\\\x01\xC3\xA9", R + "\\\"" + R + "\\n" + R + "\\\\\\u0001\xC3\xA9"},
        {std::string("\xE2\x82\0\x82", 4), R},  // a NUL still ends the text
    };
    for (const auto& [text, sound] : cases) {
        SCOPED_TRACE(testing::PrintToString(text));
        const std::string expected = "\"" + sound + "\"";
        std::string appended = "x";
        proto::appendEncodedJsonString(appended, text.data(), text.size());
        const JsonText printed(cJSON_PrintUnformatted(JsonPtr(cJSON_CreateString(text.c_str())).get()));
        EXPECT_EQ(expected, encode(text.c_str()));
        EXPECT_EQ("x" + expected, appended);
        EXPECT_EQ(expected, proto::encodedJsonString(text));
        EXPECT_EQ(expected, proto::wellFormedUtf8(printed.get(), std::strlen(printed.get())));
    }
    // Beyond strings: bytes are kept as they are, NUL included, and only ill-formed ones replaced.
    const std::string printed = std::string("{\"\xC3\xA9\0\":", 7);
    EXPECT_EQ(printed + R + "}", proto::wellFormedUtf8((printed + "\xC3}").data(), printed.size() + 2));
}

}  // namespace
