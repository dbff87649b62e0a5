#pragma once

#include <string>

namespace util {

// Without leading and trailing white space (blank, tab, line feed, vertical tab, form feed, carriage return).
std::string trim(std::string text);

// Every character of standard input up to its end, white space included.
std::string readStdinUntilEOF();

// Both file helpers return 0 or the errno value; a given message becomes "SUCCESS" or "<path>:
// <description>".
int writeToFile(const std::string& path, const char* data, unsigned size, std::string* message);
int readFromFile(const std::string& path, std::string& content, std::string* message);

}  // namespace util
