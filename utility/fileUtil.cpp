#include "utility/fileUtil.h"

#include <algorithm>
#include <vector>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

#include "utility/error.h"

void errorExit(const char *message)
{
    mac2mod::exitWith(mac2mod::error("Error: " + std::string(message) + "\n", -1));
}

namespace mac2mod {

namespace {

[[noreturn]] void openFailure(const char *path)
{
    throw error("Error: Cannot open \"" + std::string(path) + "\".\n", -1).at(path);
}

}  // namespace

void placeInText(const char *bytes, long offset, int &line, int &column)
{
    long lineStart = 0;
    line = 1;
    for (long k = 0; k < offset; k++)
        if (bytes[k] == '\n') {
            line++;
            lineStart = k + 1;
        }
    column = static_cast<int>(offset - lineStart + 1);
}

bool placeInFile(const char *path, long offset, int &line, int &column)
{
    if (offset < 0)
        return false;   // before opening: a pipe would wait for a writer
    uniqueFile stream(std::fopen(path, "rb"));
    if (!stream)
        return false;
    std::vector<char> bytes(static_cast<size_t>(std::min(offset, 1L << 16)));
    int lines = 0;
    long lineStart = 0, at = 0;
    while (at < offset) {
        size_t want = static_cast<size_t>(std::min<long>(offset - at, static_cast<long>(bytes.size())));
        size_t got = std::fread(bytes.data(), 1, want, stream.get());
        for (size_t k = 0; k < got; k++)
            if (bytes[k] == '\n') {
                lines++;
                lineStart = at + static_cast<long>(k) + 1;
            }
        at += static_cast<long>(got);
        if (got < want)
            return false;
    }
    line = lines + 1;
    column = static_cast<int>(offset - lineStart + 1);
    return true;
}

uniqueFile openData(const char *path, const char *mode)
{
    uniqueFile stream(openFile(path, mode));
    struct stat status;
    if (fstat(fileno(stream.get()), &status) == 0 && S_ISDIR(status.st_mode))
        openFailure(path);
    return stream;
}

FILE *openFile(const char *path, const char *mode)
{
    FILE *stream = std::fopen(path, mode);
    if (!stream)
        openFailure(path);
    return stream;
}

int fileLineCount(const char *path)
{
    uniqueFile stream = openData(path, "r");
    char line[MAX_STR_LEN];
    int count = 0;
    while (!std::feof(stream.get())) {
        if (std::fgets(line, MAX_STR_LEN, stream.get()) && std::strlen(line) == MAX_STR_LEN - 1)
            std::printf("Warning: MAX_STR_LEN too small at line %d of file %s!\n", __LINE__, __FILE__);
        // A failed read never reaches the end: it would be counted for ever.
        if (std::ferror(stream.get()))
            openFailure(path);
        count++;
    }
    return count - 1;
}

int fileSize(const char *path)
{
    uniqueFile stream = openData(path, "r");
    std::fseek(stream.get(), 0, SEEK_END);
    long size = std::ftell(stream.get());
    // A stream without a position (a pipe) has no size for fileRead to allocate.
    if (size < 0)
        openFailure(path);
    return static_cast<int>(size);
}

char *fileRead(const char *path, int &size)
{
    size = fileSize(path);
    uniqueFile stream = openData(path, "rb");
    char *bytes = static_cast<char *>(std::malloc(size));
    if (std::fread(bytes, size, 1, stream.get()) != 1 && size > 0)
        std::memset(bytes, 0, size);   // a file that shrank since its size was taken
    return bytes;
}

void fileReadString(const char *path, std::string &text)
{
    int size;
    char *bytes = fileRead(path, size);
    text.assign(bytes, strnlen(bytes, size));
    std::free(bytes);
}

}  // namespace mac2mod

FILE *fileOpen(const char *path, const char *mode)
{
    return mac2mod::orExit([&] { return mac2mod::openFile(path, mode); });
}

int fileLineCount(const char *path)
{
    return mac2mod::orExit([&] { return mac2mod::fileLineCount(path); });
}

int fileSize(const char *path)
{
    return mac2mod::orExit([&] { return mac2mod::fileSize(path); });
}

char *fileRead(const char *path, int &size)
{
    return mac2mod::orExit([&] { return mac2mod::fileRead(path, size); });
}

void fileReadString(const char *path, std::string &text)
{
    mac2mod::orExit([&] { mac2mod::fileReadString(path, text); });
}

int streamSize(FILE *stream)
{
    long here = std::ftell(stream);
    std::fseek(stream, 0, SEEK_END);
    long size = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return static_cast<int>(size);
}

const char *fileExtension(const char *path)
{
    const char *dot = std::strrchr(path, '.');
    return dot ? dot + 1 : path + std::strlen(path);
}

char *fileExtension(char *path)
{
    return path + (fileExtension(static_cast<const char *>(path)) - path);
}

void lineTrim(char *line)
{
    for (size_t n = std::strlen(line); n > 0 && std::strchr(" \t\r\n", line[n - 1]); n--)
        line[n - 1] = '\0';
}

int returnWait()
{
    std::printf("Hit RETURN to continue ...\n");
    std::fflush(stdout);
    return std::getchar();
}

void secondsWait(int seconds)
{
    std::clock_t end = std::clock() + static_cast<std::clock_t>(seconds) * CLOCKS_PER_SEC;
    while (std::clock() < end) {
    }
}
