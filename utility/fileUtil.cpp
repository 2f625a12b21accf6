#include "utility/fileUtil.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "utility/error.h"

void errorExit(const char *message)
{
    mac2mod::exitWith(mac2mod::error("Error: " + std::string(message) + "\n", -1));
}

FILE *mac2mod::openFile(const char *path, const char *mode)
{
    FILE *stream = std::fopen(path, mode);
    if (!stream)
        throw error("Error: Cannot open \"" + std::string(path) + "\".\n", -1).at(path);
    return stream;
}

FILE *fileOpen(const char *path, const char *mode)
{
    return mac2mod::orExit([&] { return mac2mod::openFile(path, mode); });
}

int fileLineCount(const char *path)
{
    FILE *stream = fileOpen(path, "r");
    char line[MAX_STR_LEN];
    int count = 0;
    while (!std::feof(stream)) {
        if (std::fgets(line, MAX_STR_LEN, stream) && std::strlen(line) == MAX_STR_LEN - 1)
            std::printf("Warning: MAX_STR_LEN too small at line %d of file %s!\n", __LINE__, __FILE__);
        count++;
    }
    std::fclose(stream);
    return count - 1;
}

int streamSize(FILE *stream)
{
    long here = std::ftell(stream);
    std::fseek(stream, 0, SEEK_END);
    long size = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return static_cast<int>(size);
}

int fileSize(const char *path)
{
    FILE *stream = fileOpen(path, "r");
    std::fseek(stream, 0, SEEK_END);
    long size = std::ftell(stream);
    std::fclose(stream);
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

char *fileRead(const char *path, int &size)
{
    size = fileSize(path);
    char *bytes = static_cast<char *>(std::malloc(size));
    FILE *stream = fileOpen(path, "rb");
    if (std::fread(bytes, size, 1, stream) != 1 && size > 0)
        std::memset(bytes, 0, size);   // a file that shrank since its size was taken
    std::fclose(stream);
    return bytes;
}

void fileReadString(const char *path, std::string &text)
{
    int size;
    char *bytes = fileRead(path, size);
    text.assign(bytes, strnlen(bytes, size));
    std::free(bytes);
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
