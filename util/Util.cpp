#include "util/Util.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace util {

namespace {

// The POSIX-locale white space, spelled out so the result depends on no locale and no sign of char.
const char* const WHITE_SPACE = " \t\n\v\f\r";

const std::size_t READ_CHUNK_SIZE = 10240;
const std::size_t ERROR_TEXT_SIZE = 2046;

struct FileClose {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

bool isWhiteSpace(char c) { return c != '\0' && std::strchr(WHITE_SPACE, c) != nullptr; }

std::string errorText(int errorNumber) {
    char buffer[ERROR_TEXT_SIZE] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    return strerror_r(errorNumber, buffer, sizeof(buffer));
}

// A failure must never come back as 0, even when the C library left errno clear.
int currentError() { return errno != 0 ? errno : EIO; }

int fail(const std::string& path, int errorNumber, std::string* message) {
    if (message) *message = path + ": " + errorText(errorNumber);
    return errorNumber;
}

}  // namespace

std::string trim(std::string text) {
    std::size_t begin = 0;
    while (begin < text.size() && isWhiteSpace(text[begin])) ++begin;
    std::size_t end = text.size();
    while (end > begin && isWhiteSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string readStdinUntilEOF() {
    std::string result;
    char c = 0;
    while (std::cin.get(c)) result += c;
    return result;
}

int writeToFile(const std::string& path, const char* data, unsigned size, std::string* message) {
    if (message) *message = "SUCCESS";
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return fail(path, currentError(), message);
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        const int error = currentError();
        std::fclose(file);
        return fail(path, error, message);
    }
    // Buffered bytes reach the file only here, so a full disk shows up at close.
    errno = 0;
    if (std::fclose(file) != 0) return fail(path, currentError(), message);
    return 0;
}

int readFromFile(const std::string& path, std::string& content, std::string* message) {
    if (message) *message = "SUCCESS";
    content.clear();
    errno = 0;
    FilePtr file(std::fopen(path.c_str(), "r"));
    if (!file) return fail(path, currentError(), message);
    std::unique_ptr<char[]> buffer(new char[READ_CHUNK_SIZE]);
    std::size_t count = 0;
    errno = 0;
    // Every byte read is kept, zero bytes included: a text view of the chunk would drop data.
    while ((count = std::fread(buffer.get(), 1, READ_CHUNK_SIZE, file.get())) > 0) {
        content.append(buffer.get(), count);
    }
    if (std::ferror(file.get())) {
        const int error = currentError();
        content.clear();
        return fail(path, error, message);
    }
    return 0;
}

}  // namespace util
