#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "testSupport.h"
#include "utility/outputFile.h"
#include "utility/signalCleanup.h"

namespace {

size_t entriesIn(const std::string &dir)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir))
        n++;
    return n;
}

}  // namespace

TEST(outputFile, writesValuesLittleEndianAndText)
{
    TempDir dir;
    std::string path = dir.file("out.bin");
    outputFile out(path.c_str(), "wb");
    out.putLE32(0x01020304);
    out.putFloat(1.0f);
    out.printf("%s=%d", "x", 7);
    out.close();
    EXPECT_EQ(readFile(path), std::string("\x04\x03\x02\x01\x00\x00\x80\x3fx=7", 11));
}

// Replacing goes through a temporary file beside the target, renamed when complete, with
// the permissions a plain open would have given.
TEST(outputFile, replaceRenamesACompleteFileOnly)
{
    TempDir dir;
    std::string path = dir.file("set.mod");
    writeFile(path, "old");
    {
        outputFile out(path.c_str(), "wb", true);
        out.write("new", 3);
        EXPECT_EQ(readFile(path), "old");
        EXPECT_EQ(entriesIn(dir.path()), 2u);
        out.close();
    }
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

    // A file never closed (the process unwinding past it) leaves nothing behind.
    {
        outputFile out(path.c_str(), "wb", true);
        out.write("partial", 7);
    }
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(outputFile, failuresEndWithMinusOneAndRemoveThePartialFile)
{
    TempDir dir;
    std::string path = dir.file("big.txt");
    mac2mod::error e = thrownBy([&] {
        ScopedFileSizeLimit limit(4096);
        outputFile out(path.c_str(), "w");
        for (int k = 0; k < 10000; k++)
            out.printf("line %d\n", k);
        out.close();
    });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: cannot write \"" + path + "\".\n");
    EXPECT_EQ(e.file(), path);
    EXPECT_FALSE(fileExists(path));

    std::string missing = dir.file("no/such/dir.bin");
    e = thrownBy([&] { outputFile out(missing.c_str(), "wb"); });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: Cannot open \"" + missing + "\".\n");
    e = thrownBy([&] { outputFile out(missing.c_str(), "wb", true, "Error: no room for [%s]\n"); });
    EXPECT_EQ(e.status(), -1);
    EXPECT_EQ(e.message(), "Error: no room for [" + missing + "]\n");
    EXPECT_EQ(e.file(), missing);
}

// A signal that ends the process while a replacing file is written takes the temporary file
// with it, once the program has asked for that; the earlier file stays.
TEST(outputFile, terminatingSignalRemovesTheTemporaryFile)
{
    TempDir dir;
    const std::string path = dir.file("set.mod");
    writeFile(path, "earlier");
    chmod(path.c_str(), 0600);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        Outcome o = runCaptured([&] {
            mac2mod::removeTemporariesOnSignals();
            outputFile out(path.c_str(), "wb", true);
            out.write("partial", 7);
            raise(signal);
        });
        EXPECT_EQ(o.signal, signal);
        EXPECT_EQ(readFile(path), "earlier");
        EXPECT_EQ(entriesIn(dir.path()), 1u);
    }
    outputFile out(path.c_str(), "wb", true);
    out.write("new", 3);
    out.close();
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the replaced file's permissions are kept";
}

// A target whose name leaves no room for the temporary suffix is still written whole.
TEST(outputFile, longNameStillReplaces)
{
    TempDir dir;
    const std::string path = dir.file(std::string(250, 'n') + ".mod");
    outputFile out(path.c_str(), "wb", true);
    out.write("abc", 3);
    out.close();
    EXPECT_EQ(readFile(path), "abc");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// A device at the target is written to, not replaced by a renamed file.
TEST(outputFile, aDeviceIsWrittenToNotReplaced)
{
    outputFile out("/dev/null", "wb", true);
    out.write("abc", 3);
    out.close();
    struct stat info;
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// A device whose write fails stays: run as root, removing what was written took /dev/full away.
TEST(outputFile, aDeviceThatFailsIsNotRemoved)
{
    TempDir dir;
    const std::string full = dir.file("full");
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "no device node can be made here";
    for (bool replace : {false, true}) {
        EXPECT_THROW(
            {
                outputFile out(full.c_str(), "wb", replace);
                out.write("abc", 3);
                out.close();
            },
            mac2mod::error);
        struct stat info;
        ASSERT_EQ(stat(full.c_str(), &info), 0) << "replace " << replace;
        EXPECT_TRUE(S_ISCHR(info.st_mode));
    }
}

// Replacing through a symbolic link (relative, to a link) replaces the file at its end and
// keeps the links.
TEST(outputFile, aLinkStaysAndItsFileIsReplaced)
{
    TempDir dir;
    std::filesystem::create_directory(dir.file("models"));
    writeFile(dir.file("models/set.mod"), "old");
    std::filesystem::create_symlink("models/set.mod", dir.file("current.mod"));
    std::filesystem::create_symlink("current.mod", dir.file("latest.mod"));
    outputFile out(dir.file("latest.mod").c_str(), "wb", true);
    out.write("new", 3);
    out.close();
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("latest.mod")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("current.mod")));
    EXPECT_EQ(readFile(dir.file("models/set.mod")), "new");
    EXPECT_EQ(entriesIn(dir.file("models")), 1u);
}
