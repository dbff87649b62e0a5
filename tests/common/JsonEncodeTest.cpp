#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <string>

#include "common/JsonEncode.h"
#include "common/JsonPtr.h"

namespace {

std::string encode(const char* text) {
    const EncodedText encoded(cJSON_EncodeString(text));
    EXPECT_NE(nullptr, encoded.get());
    return encoded ? std::string(encoded.get()) : std::string("<null>");
}

std::string printedByCJson(const std::string& text) {
    const JsonPtr item(cJSON_CreateString(text.c_str()));
    const JsonText printed(cJSON_PrintUnformatted(item.get()));
    return printed.get();
}

std::string decodedByCJson(const std::string& literal) {
    const JsonPtr parsed(cJSON_Parse(literal.c_str()));
    if (!cJSON_IsString(parsed.get())) {
        return "<not a string>";
    }
    return parsed->valuestring;
}

TEST(JsonStringEncoding, PlainTextIsOnlyQuoted) {
    EXPECT_EQ("\"abc\"", encode("abc"));
    EXPECT_EQ(5u, encode("abc").size());
    EXPECT_EQ("\"\"", encode(""));
    EXPECT_EQ("\"a/b c'd\"", encode("a/b c'd"));  // the solidus stays unescaped
}

TEST(JsonStringEncoding, NullTextGivesEmptyBufferWithoutQuotes) {
    const EncodedText encoded(cJSON_EncodeString(nullptr));
    ASSERT_NE(nullptr, encoded.get());
    EXPECT_STREQ("", encoded.get());
}

TEST(JsonStringEncoding, SevenBytesTakeTheShortEscape) {
    EXPECT_EQ("\"\\\"\"", encode("\""));
    EXPECT_EQ("\"\\\\\"", encode("\\"));
    EXPECT_EQ("\"\\b\"", encode("\b"));
    EXPECT_EQ("\"\\t\"", encode("\t"));
    EXPECT_EQ("\"\\n\"", encode("\n"));
    EXPECT_EQ("\"\\f\"", encode("\f"));
    EXPECT_EQ("\"\\r\"", encode("\r"));
    EXPECT_EQ("\"say \\\"hi\\\"\\\\\\tnow\\n\"", encode("say \"hi\"\\\tnow\n"));
}

TEST(JsonStringEncoding, OtherControlBytesTakeLowerCaseUnicodeEscape) {
    EXPECT_EQ("\"\\u0001\"", encode("\x01"));
    EXPECT_EQ("\"\\u001f\"", encode("\x1f"));
    EXPECT_EQ("\"\\u001b\"", encode("\x1b"));
    EXPECT_EQ("\"\\u000b\"", encode("\x0b"));
    EXPECT_EQ("\"\\u000e\"", encode("\x0e"));
    EXPECT_EQ("\"a\\u0001b\\u001fc\"", encode("a\x01"
                                              "b\x1f"
                                              "c"));
    EXPECT_EQ(8u, encode("\x01").size());
}

TEST(JsonStringEncoding, DeleteAndHighBytesPassUnchanged) {
    EXPECT_EQ("\"\x7f\"", encode("\x7f"));
    EXPECT_EQ("\"\x80\xff\"", encode("\x80\xff"));
    EXPECT_EQ("\"Grüße, Привет, 日本\"", encode("Grüße, Привет, 日本"));
}

TEST(JsonStringEncoding, MatchesCJsonPrinterAndDecodesBackForEveryByte) {
    std::string all;
    for (int b = 1; b <= 0xFF; ++b) {
        const std::string one(1, static_cast<char>(b));
        all += one;
        const std::string encoded = encode(one.c_str());
        EXPECT_EQ(printedByCJson(one), encoded) << "byte " << b;
        EXPECT_EQ(one, decodedByCJson(encoded)) << "byte " << b;
    }
    const std::string encoded = encode(all.c_str());
    EXPECT_EQ(printedByCJson(all), encoded);
    EXPECT_EQ(all, decodedByCJson(encoded));
    // 7 short escapes, 26 other control bytes, 222 bytes copied, the quotes
    EXPECT_EQ(7u * 2 + 26u * 6 + 222u + 2, encoded.size());
}

TEST(JsonStringEncoding, WrapperEncodesUpToFirstNulByte) {
    EXPECT_EQ("\"ab\\\"\"", proto::encodedJsonString("ab\""));
    EXPECT_EQ("\"\"", proto::encodedJsonString(""));
    EXPECT_EQ("\"ab\"", proto::encodedJsonString(std::string("ab\0cd", 5)));
    EXPECT_EQ("\"\\u001b[0m\"", proto::encodedJsonString("\x1b[0m"));
}

}  // namespace
