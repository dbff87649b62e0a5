#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "util/Util.h"

namespace {

std::string uniquePath(const std::string& name) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + "util_" + info->name() + "_" + std::to_string(getpid()) + "_" + name;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Swaps std::cin's buffer for the lifetime of the object.
class StdinFrom {
public:
    explicit StdinFrom(const std::string& text) : source(text), saved(std::cin.rdbuf(source.rdbuf())) {}
    ~StdinFrom() {
        std::cin.rdbuf(saved);
        std::cin.clear();
    }

private:
    std::istringstream source;
    std::streambuf* saved;
};

TEST(Trim, RemovesOnlyOuterWhiteSpace) {
    EXPECT_EQ("a b\tc", util::trim(" \t\n\v\f\ra b\tc\r\n \t"));
    EXPECT_EQ("", util::trim(" \t\r\n  \n"));
    EXPECT_EQ("", util::trim(""));
    EXPECT_EQ("x", util::trim("x"));
    EXPECT_EQ("x", util::trim("\fx\v"));
    // Neither a zero byte nor a byte above 127 is white space.
    EXPECT_EQ(std::string("\0a", 2), util::trim(std::string(" \0a ", 4)));
    EXPECT_EQ("\xa0z\xa0", util::trim(" \xa0z\xa0 "));
}

TEST(ReadStdin, ReadsEveryCharacterUpToTheEnd) {
    {
        StdinFrom in("  line one\n\tline two \n\n");
        EXPECT_EQ("  line one\n\tline two \n\n", util::readStdinUntilEOF());
    }
    {
        StdinFrom in(std::string("a\0b", 3));
        EXPECT_EQ(std::string("a\0b", 3), util::readStdinUntilEOF());
    }
    {
        StdinFrom in("");
        EXPECT_EQ("", util::readStdinUntilEOF());
    }
}

TEST(WriteToFile, WritesExactlyTheGivenBytesAndTruncates) {
    const std::string path = uniquePath("out.txt");
    writeBytes(path, "an older and much longer content");
    std::string message = "untouched";
    EXPECT_EQ(0, util::writeToFile(path, "abc\0def", 7, &message));
    EXPECT_EQ("SUCCESS", message);
    EXPECT_EQ(std::string("abc\0def", 7), fileBytes(path));

    EXPECT_EQ(0, util::writeToFile(path, "xyz", 2, nullptr));
    EXPECT_EQ("xy", fileBytes(path));

    EXPECT_EQ(0, util::writeToFile(path, nullptr, 0, &message));
    EXPECT_EQ("SUCCESS", message);
    EXPECT_EQ("", fileBytes(path));
    std::remove(path.c_str());
}

TEST(WriteToFile, MissingDirectoryReturnsErrnoAndPathPrefixedText) {
    const std::string path = uniquePath("no-such-dir") + "/file.txt";
    std::string message;
    EXPECT_EQ(ENOENT, util::writeToFile(path, "abc", 3, &message));
    EXPECT_EQ(path + ": No such file or directory", message);
    EXPECT_EQ(ENOENT, util::writeToFile(path, "abc", 3, nullptr));
}

TEST(WriteToFile, FailureAtFlushIsReportedNotSuccess) {
    // /dev/full accepts the open and the buffered write; the bytes are refused only when flushed at close.
    std::string message;
    EXPECT_EQ(ENOSPC, util::writeToFile("/dev/full", "abc", 3, &message));
    EXPECT_EQ("/dev/full: No space left on device", message);
}

TEST(ReadFromFile, EmptyFileGivesEmptyContentAndSuccess) {
    const std::string path = uniquePath("empty.txt");
    writeBytes(path, "");
    std::string content = "stale";
    std::string message;
    EXPECT_EQ(0, util::readFromFile(path, content, &message));
    EXPECT_EQ("", content);
    EXPECT_EQ("SUCCESS", message);
    std::remove(path.c_str());
}

TEST(ReadFromFile, MissingFileReturnsErrnoAndPathPrefixedText) {
    const std::string path = uniquePath("absent.txt");
    std::string content = "stale";
    std::string message;
    EXPECT_EQ(ENOENT, util::readFromFile(path, content, &message));
    EXPECT_EQ(path + ": No such file or directory", message);
    EXPECT_EQ("", content);
    EXPECT_EQ(ENOENT, util::readFromFile(path, content, nullptr));
}

TEST(ReadFromFile, LargeFileIsReadWholeAcrossChunks) {
    const std::string path = uniquePath("large.txt");
    std::string bytes;
    for (int i = 0; i < 25000; ++i) bytes += static_cast<char>('a' + i % 26);
    bytes += "\nend";
    writeBytes(path, bytes);
    std::string content;
    std::string message;
    EXPECT_EQ(0, util::readFromFile(path, content, &message));
    EXPECT_EQ("SUCCESS", message);
    EXPECT_EQ(bytes.size(), content.size());
    EXPECT_EQ(bytes, content);

    // Exactly one chunk, and one byte more.
    for (const std::size_t size : {std::size_t(10240), std::size_t(10241)}) {
        writeBytes(path, bytes.substr(0, size));
        EXPECT_EQ(0, util::readFromFile(path, content, nullptr));
        EXPECT_EQ(bytes.substr(0, size), content);
    }
    std::remove(path.c_str());
}

TEST(ReadFromFile, ZeroBytesDoNotCutTheContent) {
    const std::string path = uniquePath("zeros.bin");
    std::string bytes("head\0middle", 11);
    bytes += std::string(12000, 'q');
    bytes += std::string("\0tail", 5);
    writeBytes(path, bytes);
    std::string content;
    EXPECT_EQ(0, util::readFromFile(path, content, nullptr));
    EXPECT_EQ(bytes, content);
    std::remove(path.c_str());
}

TEST(ReadFromFile, ReadErrorIsReportedNotSuccess) {
    // A directory opens for reading on Linux, but every read of it fails.
    const std::string path = testing::TempDir();
    std::string content = "stale";
    std::string message;
    EXPECT_EQ(EISDIR, util::readFromFile(path, content, &message));
    EXPECT_EQ(path + ": Is a directory", message);
    EXPECT_EQ("", content);
}

TEST(FileHelpers, WrittenBytesReadBackUnchanged) {
    const std::string path = uniquePath("roundtrip.txt");
    const std::string bytes = "first line\r\n\tsecond \"line\"\n";
    ASSERT_EQ(0, util::writeToFile(path, bytes.data(), static_cast<unsigned>(bytes.size()), nullptr));
    std::string content;
    EXPECT_EQ(0, util::readFromFile(path, content, nullptr));
    EXPECT_EQ(bytes, content);
    std::remove(path.c_str());
}

}  // namespace
