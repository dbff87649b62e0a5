#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include "common/JsonEncode.h"
#include "common/JsonPtr.h"

namespace {

std::string encode(const char* text) {
    const EncodedText encoded(cJSON_EncodeString(text));
    return encoded ? encoded.get() : "<no buffer>";
}

// Every byte alone and all together read back through cJSON's parser and match its printer.
TEST(JsonStringEncoding, EachByteClassHasItsFormAndAllBytesRoundTripThroughCJson) {
    EXPECT_EQ("", encode(nullptr));  // not even quotation marks
    EXPECT_EQ(R"("")", encode(""));
    EXPECT_EQ(R"("a/b \"\\\b\t\n\f\r\u0001\u001f\u001b)"
              "\x7f\x80 Grüße, Привет\"",
              encode("a/b \"\\\b\t\n\f\r\x01\x1f\x1b\x7f\x80 Grüße, Привет"));
    EXPECT_EQ(R"("ab\"")", proto::encodedJsonString(std::string("ab\"\0cd", 6)));  // up to the NUL byte
    std::string all;
    for (int b = 1; b <= 0xFF; ++b) {
        all += static_cast<char>(b);
    }
    for (std::size_t i = 0; i <= all.size(); ++i) {
        const std::string text = i < all.size() ? all.substr(i, 1) : all;
        const std::string encoded = encode(text.c_str());
        const JsonPtr item(cJSON_CreateString(text.c_str()));
        const JsonText printed(cJSON_PrintUnformatted(item.get()));
        EXPECT_STREQ(printed.get(), encoded.c_str());
        const JsonPtr parsed(cJSON_Parse(encoded.c_str()));
        EXPECT_STREQ(text.c_str(), cJSON_IsString(parsed.get()) ? parsed->valuestring : "<not a string>");
    }
    // 7 short escapes, 26 other control bytes, 222 bytes copied, the quotes
    EXPECT_EQ(7u * 2 + 26u * 6 + 222u + 2, encode(all.c_str()).size());
}

// The append form writes the encoder's bytes after what the buffer holds, up to a NUL or the length.
TEST(JsonStringEncoding, AppendFormAddsTheEncodersBytesUpToNulOrLength) {
    std::string all;
    for (int b = 1; b <= 0xFF; ++b) {
        all += static_cast<char>(b);
    }
    for (std::size_t i = 0; i <= all.size(); ++i) {
        const std::string text = i < all.size() ? all.substr(i, 1) : all;
        std::string out = "x";
        proto::appendEncodedJsonString(out, text.data(), text.size());
        EXPECT_EQ("x" + encode(text.c_str()), out) << "byte " << i + 1;
    }
    std::string out = "[";
    proto::appendEncodedJsonString(out, "a\"\0b\n", 5);
    proto::appendEncodedJsonString(out, "a\tb\n", 3);
    proto::appendEncodedJsonString(out, nullptr, 3);
    proto::appendEncodedJsonString(out, "", 0);
    proto::appendEncodedJsonString(out, "ab\0c", 4);
    EXPECT_EQ(R"(["a\"""a\tb""""ab")", out);
}

}  // namespace
