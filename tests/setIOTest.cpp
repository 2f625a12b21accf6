// The throwing set operations: errors as values with their place, nothing left behind, and
// several sets read on several threads at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "hmm/setIO.h"
#include "macroText.h"
#include "testSupport.h"

using namespace macroText;

namespace {

struct setFiles {
    TempDir dir;
    std::string good = dir.file("good.mac"), bad = dir.file("bad.mac");
    std::string binary = dir.file("good.macb"), cut = dir.file("cut.macb");
    std::string table = dir.file("ModelNames.txt");
    setFiles()
    {
        std::string text = header() + model("sil", 3, 1) + model("a", 3, 2);
        writeFile(good, text);
        std::string broken = text;
        broken.replace(broken.rfind("<MEAN> 24"), 9, "<MEAN> 39");
        writeFile(bad, broken);
        macroClass set;
        mac2mod::readSet(set, good);
        mac2mod::writeSet(set, binary);
        writeFile(cut, readFile(binary).substr(0, 300));
        writeFile(table, "1 a\n");
    }
};

}  // namespace

TEST(setIO, errorsCarryMessageStatusAndPlace)
{
    setFiles f;
    struct {
        std::string path, message;
        int status, line, column;
        long offset;
    } cases[] = {
        {f.bad, "Error: MAX_PARAM_NUM = 24 != 39!\n", 1, 0, 0, -2},
        {f.cut, "Error: \"" + f.cut + "\" ends before its last field: 36 bytes wanted at byte 274.\n", 1, 0, 0, 274},
        {f.dir.file("x.txt"), "Error in reading \"" + f.dir.file("x.txt") +
                                  "\": The only allowed extension are \"mac\" and \"macb\".\n", 1, 0, 0, -1},
        {f.dir.file("none.mac"), "Error: Cannot open \"" + f.dir.file("none.mac") + "\".\n", -1, 0, 0, -1},
    };
    std::string badText = readFile(f.bad);
    long badAt = static_cast<long>(badText.rfind("39"));
    long lineStart = static_cast<long>(badText.rfind('\n', badAt)) + 1;
    int badLine = 1 + static_cast<int>(std::count(badText.begin(), badText.begin() + badAt, '\n'));
    for (auto &c : cases) {
        if (c.offset == -2) {
            c.offset = badAt;
            c.line = badLine;
            c.column = static_cast<int>(badAt - lineStart + 1);
        }
        macroClass set;
        try {
            mac2mod::readSet(set, c.path);
            ADD_FAILURE() << c.path << " was read";
        } catch (const mac2mod::error &e) {
            EXPECT_EQ(e.message(), c.message);
            EXPECT_STREQ(e.what(), c.message.c_str());
            EXPECT_EQ(e.status(), c.status);
            EXPECT_EQ(e.offset(), c.offset) << c.path;
            EXPECT_EQ(e.line(), c.line);
            EXPECT_EQ(e.column(), c.column);
        }
        // The same set takes a good file after the refusal.
        mac2mod::readSet(set, f.good);
        EXPECT_EQ(set.MMF.modelNum, 2);
    }
}

TEST(setIO, failedWritesLeaveNoFile)
{
    setFiles f;
    macroClass set;
    mac2mod::readSet(set, f.good);
    const std::string output = f.dir.file("set.mod");
    std::filesystem::create_directory(f.dir.file("folder.macb"));
    Outcome o = runReporting([&] { mac2mod::writeSet(set, f.dir.file("folder.macb")); });
    EXPECT_EQ(o.status, -1);
    o = runReporting([&] { mac2mod::writeSet(set, f.dir.file("set.txt")); });
    EXPECT_EQ(o.status, 1);
    o = runReporting([&] { mac2mod::writeModelFile(set, f.dir.file("none.txt"), output); });
    EXPECT_EQ(o.out, "Error: Cannot open \"" + f.dir.file("none.txt") + "\".\n");
    writeFile(f.table, "1 b\n");
    o = runReporting([&] { mac2mod::writeModelFile(set, f.table, output); });
    EXPECT_EQ(o.out, "Error: can not find model name \"a\" in \"ModelNames.txt\"\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), 6);
}

// Good and bad sets read and written on several threads at once give each thread the result
// one thread alone gets.
TEST(setIO, threadsReadAndWriteDifferentSetsAtOnce)
{
    setFiles f;
    macroClass one;
    mac2mod::readSet(one, f.good);
    mac2mod::writeModelFile(one, f.table, f.dir.file("one.mod"));
    const std::string expected = readFile(f.dir.file("one.mod"));
    auto work = [&](int t) {
        for (int round = 0; round < 20; round++) {
            // thrownBy, not runReporting: that one captures the process's standard output.
            for (const std::string &path : {f.bad, f.cut}) {
                macroClass set;
                mac2mod::error e = thrownBy([&] { mac2mod::readSet(set, path); });
                EXPECT_EQ(e.status(), 1);
                EXPECT_EQ(e.file(), path);
            }
            macroClass set;
            mac2mod::readSet(set, round % 2 ? f.good : f.binary);
            EXPECT_EQ(set.MMF.modelNum, 2);
            std::string output = f.dir.file("out" + std::to_string(t) + ".mod");
            mac2mod::writeModelFile(set, f.table, output);
            EXPECT_EQ(readFile(output), expected);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++)
        threads.emplace_back(work, t);
    for (std::thread &thread : threads)
        thread.join();
}
