#pragma once

#include <memory>
#include <string>
#include <utility>

namespace korvu {

// A text that may be SQL NULL; readers test isNull() first and ignore the text of a null value.
class NullableString {
public:
    NullableString() = default;
    NullableString(std::string text, bool null) : mText(std::move(text)), mNull(null) {}
    // A null pointer is SQL NULL; the string itself is not kept, its text is taken over.
    explicit NullableString(std::unique_ptr<std::string> text)
        : mText(text ? std::move(*text) : std::string()), mNull(!text) {}

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
