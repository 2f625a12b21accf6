#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "testSupport.h"
#include "utility/arrayFile.h"

namespace {

std::string le32(uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string leDouble(double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return le32(uint32_t(bits)) + le32(uint32_t(bits >> 32));
}

}  // namespace

TEST(arrayRead, extensionChoosesTheFormExactly)
{
    TempDir dir;
    writeFile(dir.file("a.BIN"), le32(7) + le32(uint32_t(-2)));
    writeFile(dir.file("a.txt"), "1 2\n");
    writeFile(dir.file("d.bin"), leDouble(0.25) + leDouble(-3.5));
    writeFile(dir.file("d.TXT"), "0.5\n1e3\n");

    int ints[2] = {};
    intArrayRead(dir.file("a.BIN").c_str(), ints, 2);
    EXPECT_EQ(ints[0], 7);
    EXPECT_EQ(ints[1], -2);
    intArrayRead(dir.file("a.txt").c_str(), ints, 2);
    EXPECT_EQ(ints[0], 1);
    EXPECT_EQ(ints[1], 2);

    double doubles[2] = {};
    doubleArrayRead(dir.file("d.bin").c_str(), doubles, 2);
    EXPECT_EQ(doubles[0], 0.25);
    EXPECT_EQ(doubles[1], -3.5);
    doubleArrayRead(dir.file("d.TXT").c_str(), doubles, 2);
    EXPECT_EQ(doubles[0], 0.5);
    EXPECT_EQ(doubles[1], 1000.0);

    for (std::string name : {"a.Txt", "a.bin2", "a", "a.Bin"}) {
        std::string path = dir.file(name);
        mac2mod::error e = thrownBy([&] { mac2mod::intArrayRead(path.c_str(), ints, 2); });
        EXPECT_EQ(e.status(), 1) << name;
        EXPECT_EQ(e.message(), "Error in reading " + path +
                                   ": The only allowed extension are \"txt\" and \"bin\".\n");
        e = thrownBy([&] { mac2mod::doubleArrayRead(path.c_str(), doubles, 2); });
        EXPECT_EQ(e.status(), 1) << name;
    }
}

TEST(arrayRead, textFillsOnlyWhatTheFileGivesAndNeverPastCount)
{
    TempDir dir;
    std::string path = dir.file("v.txt");
    int values[5] = {-9, -9, -9, -9, -9};

    writeFile(path, "1 2 3 4 5 6");
    intArrayReadTxt(path.c_str(), values, 3);
    EXPECT_EQ(std::vector<int>(values, values + 5), (std::vector<int>{1, 2, 3, -9, -9}));

    writeFile(path, "10\n\n20\n");
    intArrayReadTxt(path.c_str(), values, 4);
    EXPECT_EQ(std::vector<int>(values, values + 5), (std::vector<int>{10, 20, 3, -9, -9}));

    writeFile(path, "7 x 8");
    intArrayReadTxt(path.c_str(), values, 3);
    EXPECT_EQ(std::vector<int>(values, values + 3), (std::vector<int>{7, 20, 3}));

    double d[3] = {1, 1, 1};
    writeFile(path, "2.5\t-0.125");
    doubleArrayReadTxt(path.c_str(), d, 2);
    EXPECT_EQ(std::vector<double>(d, d + 3), (std::vector<double>{2.5, -0.125, 1}));
}

TEST(arrayRead, binaryFillsOnlyWholeItemsTheFileGives)
{
    TempDir dir;
    std::string path = dir.file("v.bin");
    int values[4] = {-9, -9, -9, -9};

    // A longer file: only count items are read.
    writeFile(path, le32(1) + le32(2) + le32(3) + le32(4));
    intArrayReadBin(path.c_str(), values, 2);
    EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int>{1, 2, -9, -9}));

    // A shorter file ending in part of an item: that element keeps its value.
    writeFile(path, le32(0x01020304) + std::string("\xff\xff", 2));
    intArrayReadBin(path.c_str(), values, 4);
    EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int>{0x01020304, 2, -9, -9}));

    // More items than one read buffer holds.
    std::string many;
    for (int i = 0; i < 1500; i++)
        many += le32(uint32_t(i * 3));
    std::vector<int> big(1501, -1);
    intArrayReadBin(path.c_str(), big.data(), 0);
    writeFile(path, many);
    intArrayReadBin(path.c_str(), big.data(), 1500);
    EXPECT_EQ(big[0], 0);
    EXPECT_EQ(big[1499], 4497);
    EXPECT_EQ(big[1500], -1);

    double d[3] = {9, 9, 9};
    writeFile(path, leDouble(1e300) + leDouble(-0.5).substr(0, 7));
    doubleArrayReadBin(path.c_str(), d, 3);
    EXPECT_EQ(std::vector<double>(d, d + 3), (std::vector<double>{1e300, 9, 9}));
}

TEST(arrayRead, missingFileIsTheOpenFailure)
{
    TempDir dir;
    std::string path = dir.file("none.bin");
    int values[1];
    mac2mod::error e = thrownBy([&] { mac2mod::intArrayRead(path.c_str(), values, 1); });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: Cannot open \"" + path + "\".\n");
    EXPECT_EQ(e.file(), path);
}

TEST(valueWriters, appendAndWriteExactLines)
{
    TempDir dir;
    std::string log = dir.file("log.txt");
    floatAppend(0.5f, log.c_str());
    floatAppend(1.25f, log.c_str());
    doubleAppend(-1e7 - 0.25, log.c_str());
    EXPECT_EQ(readFile(log), "0.500000\n1.250000\n-10000000.250000\n");

    std::string single = dir.file("one.txt");
    floatWrite(single.c_str(), 0.5f);
    EXPECT_EQ(readFile(single), "0.5\n");
    floatWrite(single.c_str(), 1234567.0f);
    EXPECT_EQ(readFile(single), "1.23457e+06\n");
}

TEST(valueWriters, failedAppendLeavesTheLogAsItWas)
{
    TempDir dir;
    std::string log = dir.file("log.txt");
    writeFile(log, "0.500000\n");
    mac2mod::error e = thrownBy([&] {
        ScopedFileSizeLimit limit(12);
        mac2mod::floatAppend(3.0f, log.c_str());
    });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: cannot write \"" + log + "\".\n");
    EXPECT_EQ(e.file(), log);
    EXPECT_EQ(readFile(log), "0.500000\n");
}

TEST(listFiles, readStopsAtFirstBadTokenAndEmptiesFirst)
{
    TempDir dir;
    std::string path = dir.file("list.txt");
    std::vector<int> ints{99};
    writeFile(path, "4\n5 x 6\n");
    intListRead(path.c_str(), ints);
    EXPECT_EQ(ints, (std::vector<int>{4, 5}));
    writeFile(path, "");
    intListRead(path.c_str(), ints);
    EXPECT_TRUE(ints.empty());

    std::vector<float> floats{1.0f};
    writeFile(path, "0.5\t-2e1\n3");
    floatListRead(path.c_str(), floats);
    EXPECT_EQ(floats, (std::vector<float>{0.5f, -20.0f, 3.0f}));
}

TEST(listFiles, writersGiveExactBytes)
{
    TempDir dir;
    std::string path = dir.file("out.txt");
    intListWrite(path.c_str(), {3, -1, 0});
    EXPECT_EQ(readFile(path), "3\n-1\n0\n");
    stringListWrite(path.c_str(), {"ab", "", "c d"});
    EXPECT_EQ(readFile(path), "ab\n\nc d\n");
    intListWrite(path.c_str(), {});
    EXPECT_EQ(readFile(path), "");

    const char bytes[] = {'a', '\0', '\n', '\xff'};
    bufferWrite(path.c_str(), bytes, 4);
    EXPECT_EQ(readFile(path), std::string(bytes, 4));
    bufferWrite(path.c_str(), bytes, 0);
    EXPECT_EQ(readFile(path), "");
}

TEST(listFiles, failedWriteLeavesNoFile)
{
    TempDir dir;
    std::string path = dir.file("big.txt");
    mac2mod::error e = thrownBy([&] {
        ScopedFileSizeLimit limit(100);
        mac2mod::intListWrite(path.c_str(), std::vector<int>(100, 12345));
    });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: cannot write \"" + path + "\".\n");
    EXPECT_FALSE(fileExists(path));

    std::string missing = dir.file("no/dir.txt");
    e = thrownBy([&] { mac2mod::stringListWrite(missing.c_str(), {"a"}); });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: Cannot open \"" + missing + "\".\n");
}

TEST(lineListRead, dropsCommentLinesAndKeepsEmptyOnes)
{
    TempDir dir;
    std::string path = dir.file("lines.txt");
    std::vector<std::string> lines{"old"};

    writeFile(path, "# comment\na\nb");
    lineListRead(path.c_str(), lines, '#');
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));

    writeFile(path, "a\n\n#x\n\nb\n");
    lineListRead(path.c_str(), lines, '#');
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "", "b"}));
    lineListRead(path.c_str(), lines, '\0');
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "#x", "", "b"}));

    writeFile(path, "");
    lineListRead(path.c_str(), lines, '#');
    EXPECT_TRUE(lines.empty());

    std::string missing = dir.file("missing%s.txt");
    mac2mod::error e = thrownBy([&] { mac2mod::lineListRead(missing.c_str(), lines, '#'); });
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Unable to open \"" + missing + "\"!\n");
    EXPECT_EQ(e.file(), missing);
}

TEST(tableRead, splitsEachLineAtTabs)
{
    TempDir dir;
    std::string path = dir.file("table.txt");
    writeFile(path, "x\ty\n\tb\t\tc\t\nz");
    auto rows = tableRead(path.c_str());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"", "b", "", "c"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"z"}));

    std::vector<std::string> fields{"old"};
    stringSplit("", '\t', fields);
    EXPECT_TRUE(fields.empty());
    stringSplit("a,,b", ',', fields);
    EXPECT_EQ(fields, (std::vector<std::string>{"a", "", "b"}));
    stringSplit(",", ',', fields);
    EXPECT_EQ(fields, (std::vector<std::string>{""}));
}
