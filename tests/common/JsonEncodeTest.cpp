#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include "common/JsonEncode.h"
#include "common/JsonPtr.h"

namespace {

std::string encode(const char* text) {
    const EncodedText encoded(cJSON_EncodeString(text));
    return encoded ? encoded.get() : "<no buffer>";
}

// Every byte alone and all together match cJSON's printer, read back through its parser, and are what
// the append form adds; both forms stop at a NUL byte, the append form also at the length.
TEST(JsonStringEncoding, EachByteClassHasItsFormAndAllBytesRoundTripThroughCJson) {
    EXPECT_EQ("", encode(nullptr));  // not even quotation marks
    EXPECT_EQ(R"("")", encode(""));
    EXPECT_EQ(R"("a/b \"\\\b\t\n\f\r\u0001\u001f\u001b)"
              "\x7f\x80 Grüße, Привет\"",
              encode("a/b \"\\\b\t\n\f\r\x01\x1f\x1b\x7f\x80 Grüße, Привет"));
    EXPECT_EQ(R"("ab\"")", proto::encodedJsonString(std::string("ab\"\0cd", 6)));
    std::string all, out = "[";
    for (int b = 1; b <= 0xFF; ++b) all += static_cast<char>(b);
    for (std::size_t i = 0; i <= all.size(); ++i) {
        const std::string text = i < all.size() ? all.substr(i, 1) : all, encoded = encode(text.c_str());
        const JsonText printed(cJSON_PrintUnformatted(JsonPtr(cJSON_CreateString(text.c_str())).get()));
        const JsonPtr parsed(cJSON_Parse(encoded.c_str()));
        std::string appended = "x";
        proto::appendEncodedJsonString(appended, text.data(), text.size());
        EXPECT_STREQ(printed.get(), encoded.c_str());
        EXPECT_STREQ(text.c_str(), cJSON_IsString(parsed.get()) ? parsed->valuestring : "<not a string>");
        EXPECT_EQ("x" + encoded, appended) << "byte " << i + 1;
    }
    proto::appendEncodedJsonString(out, "a\"\0b\n", 5);
    proto::appendEncodedJsonString(out, "a\tb\n", 3);
    proto::appendEncodedJsonString(out, nullptr, 3);
    proto::appendEncodedJsonString(out, "", 0);
    EXPECT_EQ(R"(["a\"""a\tb""")", out);
}

}  // namespace
