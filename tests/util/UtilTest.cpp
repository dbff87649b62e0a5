#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "util/Util.h"

namespace {

TEST(Trim, RemovesOnlyOuterPosixWhiteSpace) {
    EXPECT_EQ("a b\tc", util::trim(" \t\n\v\f\ra b\tc\r\n \t"));
    EXPECT_EQ("", util::trim(" \t\r\n  \n"));
    EXPECT_EQ(std::string("\0a\xa0", 3), util::trim(std::string(" \0a\xa0 ", 5)));  // NUL, 0xA0: no blanks
}

TEST(ReadStdin, ReadsEveryByteUpToTheEnd) {
    const std::string text(" one\n\ttwo\0 \n\n", 13);
    std::istringstream source(text);
    std::streambuf* const saved = std::cin.rdbuf(source.rdbuf());
    EXPECT_EQ(text, util::readStdinUntilEOF());
    EXPECT_EQ("", util::readStdinUntilEOF());
    std::cin.rdbuf(saved);
    std::cin.clear();
}

TEST(FileHelpers, WriteTruncatesAndReadGivesEveryByteBackAcrossChunks) {
    const std::string path = testing::TempDir() + "util-" + std::to_string(getpid());
    std::string wrote, got, content;
    // Sizes on both sides of the 10240-byte read chunk, and zero; each write truncates the last.
    for (const std::string& bytes : {std::string(25000, 'q') + "end", std::string("ab\0cd", 5),
                                     std::string(10240, 'c'), std::string()}) {
        EXPECT_EQ(0, util::writeToFile(path, bytes.data(), static_cast<unsigned>(bytes.size()), &wrote));
        EXPECT_EQ(0, util::readFromFile(path, content, &got));
        EXPECT_EQ(bytes, content) << bytes.size();
        EXPECT_EQ("SUCCESS SUCCESS", wrote + " " + got);
    }
    std::remove(path.c_str());
}

TEST(FileHelpers, FailuresGiveTheErrorNumberAndAPathPrefixedText) {
    const std::string missing = testing::TempDir() + "util-no-dir-" + std::to_string(getpid()) + "/file";
    std::string wrote, got, content = "stale";
    EXPECT_EQ(ENOENT, util::writeToFile(missing, "abc", 3, &wrote));
    EXPECT_EQ(ENOENT, util::readFromFile(missing, content, &got));
    EXPECT_EQ(missing + ": No such file or directory|" + missing + ": No such file or directory|",
              wrote + "|" + got + "|" + content);
    // /dev/full takes the buffered write and refuses the bytes only when they are flushed at close.
    EXPECT_EQ(ENOSPC, util::writeToFile("/dev/full", "abc", 3, &wrote));
    // A directory opens for reading, but every read of it fails.
    EXPECT_EQ(EISDIR, util::readFromFile("/", content, &got));
    EXPECT_EQ("/dev/full: No space left on device|/: Is a directory", wrote + "|" + got);
}

}  // namespace
