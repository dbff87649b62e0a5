#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "util/Util.h"

namespace {

// strchr would count the terminating NUL as white space; 0xA0 is no blank in the POSIX locale.
TEST(Trim, RemovesOnlyOuterPosixWhiteSpace) {
    EXPECT_EQ("a b\tc", util::trim(" \t\n\v\f\ra b\tc\r\n \t"));
    EXPECT_EQ("", util::trim(" \t\r\n  \n"));
    EXPECT_EQ(std::string("\0a\xa0", 3), util::trim(std::string(" \0a\xa0 ", 5)));
}

TEST(FileHelpers, EveryByteComesBackAndFailuresGiveTheErrorNumberAndAPathPrefixedText) {
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
    const std::string missing = path + "/file";  // in a directory that is not there
    content = "stale";
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
