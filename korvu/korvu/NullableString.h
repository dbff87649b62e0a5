#pragma once

#include <memory>
#include <string>

namespace korvu {

// A text that may be SQL NULL; readers test isNull() first and ignore the text of a null value.
class NullableString {
public:
    NullableString() = default;
    NullableString(const std::string& text, bool null) : mText(text), mNull(null) {}
    // A null pointer is SQL NULL; the string itself is not kept.
    explicit NullableString(std::unique_ptr<std::string> text)
        : mText(text ? *text : std::string()), mNull(!text) {}

    const std::string& str() const { return mText; }
    std::string& str() { return mText; }
    void setStr(const std::string& text) { mText = text; }
    bool isNull() const { return mNull; }
    void setNull(bool null) { mNull = null; }

private:
    std::string mText;
    bool mNull = true;
};

}  // namespace korvu
