#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "testSupport.h"
#include "utility/fileUtil.h"

TEST(fileOpen, missingFileIsFatalWithQuotedPath)
{
    TempDir dir;
    std::string path = dir.file("no%such%d.mac");
    mac2mod::error e = thrownBy([&] { mac2mod::openFile(path.c_str(), "r"); });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: Cannot open \"" + path + "\".\n");
    EXPECT_EQ(e.file(), path);
}

TEST(fileOpen, longPathIsPrintedWhole)
{
    TempDir dir;
    std::string path = dir.file(std::string(300, 'x') + "/a");
    mac2mod::error e = thrownBy([&] { mac2mod::openFile(path.c_str(), "w"); });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: Cannot open \"" + path + "\".\n");
}

// A folder opens for reading, but has neither lines nor a size: each reader fails as if it
// could not be opened, rather than looping for ever or allocating a size of -1.
TEST(fileReaders, missingFileOrFolderIsTheOpenFailure)
{
    TempDir dir;
    std::string folder = dir.file("folder");
    std::filesystem::create_directory(folder);
    int size = 0;
    std::string text;
    for (const std::string &path : {folder, dir.file("missing")}) {
        const std::vector<std::pair<const char *, std::function<void()>>> readers = {
            {"fileLineCount", [&] { mac2mod::fileLineCount(path.c_str()); }},
            {"fileSize", [&] { mac2mod::fileSize(path.c_str()); }},
            {"fileRead", [&] { mac2mod::fileRead(path.c_str(), size); }},
            {"fileReadString", [&] { mac2mod::fileReadString(path.c_str(), text); }},
        };
        for (const auto &[name, read] : readers) {
            mac2mod::error e = thrownBy(read);
            EXPECT_EQ(e.status(), -1) << name << " " << path;
            EXPECT_EQ(e.message(), "Error: Cannot open \"" + path + "\".\n") << name;
            EXPECT_EQ(e.file(), path) << name;
        }
    }
}

TEST(errorExit, printsMessageAsTextAndEndsWithMinusOne)
{
    Outcome o = runCaptured([] { errorExit("100% %s done"); });
    EXPECT_TRUE(o.exited);
    EXPECT_EQ(o.status, -1);
    EXPECT_EQ(o.out, "Error: 100% %s done\n");
}

TEST(exitWith, flushesWhatWasPrintedBefore)
{
    Outcome o = runCaptured([] {
        std::printf("before ");
        mac2mod::exitWith(mac2mod::error("partial line without end", 3));
    });
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.out, "before partial line without end");
}

TEST(fileExtension, takesTextAfterLastDotAnywhere)
{
    EXPECT_STREQ(fileExtension("model.mac"), "mac");
    EXPECT_STREQ(fileExtension("a.b.macb"), "macb");
    EXPECT_STREQ(fileExtension("model"), "");
    EXPECT_STREQ(fileExtension(""), "");
    EXPECT_STREQ(fileExtension("model."), "");
    EXPECT_STREQ(fileExtension(".mac"), "mac");
    EXPECT_STREQ(fileExtension("dir.old/model"), "old/model");
    char writable[] = "set.MAC";
    char *ext = fileExtension(writable);
    EXPECT_EQ(ext, writable + 4);
}

TEST(fileLineCount, countsPiecesAsFgetsCutsThem)
{
    TempDir dir;
    std::string path = dir.file("lines.txt");
    auto count = [&](const std::string &text) {
        writeFile(path, text);
        return fileLineCount(path.c_str());
    };
    EXPECT_EQ(count(""), 0);
    EXPECT_EQ(count("a\nb\n"), 2);
    EXPECT_EQ(count("a\nb"), 1);
    EXPECT_EQ(count("\n\n\n"), 3);
}

TEST(fileLineCount, longLinesCountOncePerFullPieceAndWarn)
{
    TempDir dir;
    std::string path = dir.file("long.txt");
    auto run = [&](const std::string &text) {
        writeFile(path, text);
        return runCaptured([&] { std::printf("count=%d\n", fileLineCount(path.c_str())); });
    };
    const std::string warning = "Warning: MAX_STR_LEN too small at line ";

    Outcome o = run(std::string(998, 'x') + "\n");
    EXPECT_EQ(o.status, 0);
    ASSERT_EQ(o.out.find(warning), 0u);
    EXPECT_NE(o.out.find("fileUtil.cpp!\n"), std::string::npos);
    EXPECT_EQ(o.out.substr(o.out.find("count=")), "count=1\n");

    o = run(std::string(997, 'x') + "\n");
    EXPECT_EQ(o.out, "count=1\n");

    // 2000 characters and a line end: pieces of 999, 999 and 3, two of them full.
    o = run(std::string(2000, 'x') + "\n");
    EXPECT_EQ(o.out.substr(o.out.find("count=")), "count=3\n");
    size_t warnings = 0;
    for (size_t at = o.out.find(warning); at != std::string::npos; at = o.out.find(warning, at + 1))
        warnings++;
    EXPECT_EQ(warnings, 2u);
}

TEST(fileSize, sizesOfFilesAndStreams)
{
    TempDir dir;
    std::string path = dir.file("f.bin");
    writeFile(path, "");
    EXPECT_EQ(fileSize(path.c_str()), 0);
    writeFile(path, "hello\n");
    EXPECT_EQ(fileSize(path.c_str()), 6);

    FILE *stream = fileOpen(path.c_str(), "rb");
    std::fgetc(stream);
    std::fgetc(stream);
    EXPECT_EQ(streamSize(stream), 6);
    EXPECT_EQ(std::ftell(stream), 2);
    std::fclose(stream);
}

TEST(lineTrim, cutsTrailingWhiteSpaceOnly)
{
    char line[] = " abc \t\r\n";
    lineTrim(line);
    EXPECT_STREQ(line, " abc");
    char blank[] = " \t \n";
    lineTrim(blank);
    EXPECT_STREQ(blank, "");
}

TEST(fileRead, readsAllBytesIncludingZeros)
{
    TempDir dir;
    std::string path = dir.file("f.bin");
    writeFile(path, std::string("ab\0cd", 5));
    int size = -1;
    char *bytes = fileRead(path.c_str(), size);
    ASSERT_EQ(size, 5);
    EXPECT_EQ(std::memcmp(bytes, "ab\0cd", 5), 0);
    std::free(bytes);

    std::string text;
    fileReadString(path.c_str(), text);
    EXPECT_EQ(text, "ab");
    writeFile(path, "whole text");
    fileReadString(path.c_str(), text);
    EXPECT_EQ(text, "whole text");
}
