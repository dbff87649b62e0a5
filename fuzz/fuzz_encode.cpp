// cJSON_EncodeString against cJSON itself: the literal parses back to the text, has the length the
// escaping rules give, and matches what cJSON's printer writes for the same string item.
#include <cjson/cJSON.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/JsonEncode.h"
#include "common/JsonPtr.h"
#include "fuzz/FuzzCheck.h"

using fuzzcheck::require;
using fuzzcheck::visible;

namespace {

// Counted from the escaping rules alone, without the terminating NUL.
std::size_t expectedLength(const std::string& text) {
    std::size_t length = 2;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '"':
            case '\\':
            case '\b':
            case '\t':
            case '\n':
            case '\f':
            case '\r':
                length += 2;
                break;
            default:
                length += byte < 0x20 ? 6 : 1;
        }
    }
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string text = input.substr(0, input.find('\0'));  // what a C string of the input holds

    const EncodedText encoded(cJSON_EncodeString(input.c_str()));
    require(encoded != nullptr, "the buffer is allocated");
    const std::string literal(encoded.get());
    require(literal.size() == expectedLength(text), "length follows the escaping rules",
            [&] { return visible(text) + " -> " + visible(literal); });

    const JsonPtr parsed(cJSON_Parse(literal.c_str()));
    require(parsed != nullptr && cJSON_IsString(parsed.get()), "the literal parses as a JSON string",
            [&] { return visible(literal); });
    require(text == parsed->valuestring, "the literal decodes to the text",
            [&] { return visible(text) + " -> " + visible(parsed->valuestring); });

    const JsonPtr item(cJSON_CreateString(text.c_str()));
    require(item != nullptr, "cJSON builds the item");
    const JsonText printed(cJSON_PrintUnformatted(item.get()));
    require(printed != nullptr && literal == printed.get(), "same text as cJSON's printer", [&] {
        return visible(literal) + " vs " + (printed ? visible(printed.get()) : std::string("(null)"));
    });

    require(proto::encodedJsonString(input) == literal, "the std::string wrapper stops at the first NUL too");
    return 0;
}
