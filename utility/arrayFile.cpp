#include "utility/arrayFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "utility/byteOrder.h"
#include "utility/error.h"
#include "utility/fileUtil.h"
#include "utility/outputFile.h"

namespace mac2mod {

namespace {

bool isExtension(const char *path, const char *lower, const char *upper)
{
    const char *ext = fileExtension(path);
    return std::strcmp(ext, lower) == 0 || std::strcmp(ext, upper) == 0;
}

// The form of an array file is told by its extension alone, in either case but not mixed.
template <typename T>
void arrayRead(const char *path, T *values, int count, void (*readBin)(const char *, T *, int),
               void (*readTxt)(const char *, T *, int))
{
    if (isExtension(path, "bin", "BIN"))
        return readBin(path, values, count);
    if (isExtension(path, "txt", "TXT"))
        return readTxt(path, values, count);
    raisef(1, "Error in reading %s: The only allowed extension are \"txt\" and \"bin\".\n", path);
}

// At most count conversions; an element the file gives no value for keeps what it held.
template <typename T>
void textArrayRead(const char *path, T *values, int count, const char *format)
{
    uniqueFile stream(openFile(path, "r"));
    for (int i = 0; i < count; i++)
        if (std::fscanf(stream.get(), format, &values[i]) != 1)
            break;   // every later conversion would fail too
}

template <typename T>
T fromLittleEndian(const unsigned char *bytes)
{
    if constexpr (sizeof(T) == 4) {
        return static_cast<T>(getLE32(bytes));
    } else {
        uint64_t bits = uint64_t(getLE32(bytes + 4)) << 32 | getLE32(bytes);
        T value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
}

// Little-endian items, read through a buffer of our own: fread may leave part of an item it
// could not complete in its destination, and the elements beyond what the file gives keep
// their values.
template <typename T>
void binaryArrayRead(const char *path, T *values, int count)
{
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "4- or 8-byte items only");
    constexpr int chunk = 512;
    unsigned char bytes[chunk * sizeof(T)];
    uniqueFile stream(openFile(path, "rb"));
    for (int done = 0; done < count;) {
        size_t want = static_cast<size_t>(std::min(chunk, count - done));
        size_t got = std::fread(bytes, sizeof(T), want, stream.get());
        for (size_t k = 0; k < got; k++)
            values[done++] = fromLittleEndian<T>(bytes + k * sizeof(T));
        if (got < want)
            break;
    }
}

// One formatted line added to a log. A failed write cuts the file back to what it held, so
// the log never ends in a partial line.
void appendLine(const char *path, const char *format, double value)
{
    FILE *stream = openFile(path, "a");
    std::fseek(stream, 0, SEEK_END);
    long before = std::ftell(stream);
    bool ok = std::fprintf(stream, format, value) >= 0;
    ok = std::fclose(stream) == 0 && ok;
    if (!ok) {
        std::error_code ignored;
        if (before >= 0)
            std::filesystem::resize_file(path, static_cast<uintmax_t>(before), ignored);
        throw error("Error: cannot write \"" + std::string(path) + "\".\n", -1).at(path);
    }
}

template <typename T>
void listRead(const char *path, std::vector<T> &list, const char *format)
{
    uniqueFile stream(openFile(path, "r"));
    list.clear();
    T value;
    while (std::fscanf(stream.get(), format, &value) == 1)
        list.push_back(value);
}

}  // namespace

void intArrayRead(const char *path, int *values, int count)
{
    arrayRead(path, values, count, intArrayReadBin, intArrayReadTxt);
}

void doubleArrayRead(const char *path, double *values, int count)
{
    arrayRead(path, values, count, doubleArrayReadBin, doubleArrayReadTxt);
}

void intArrayReadTxt(const char *path, int *values, int count)
{
    textArrayRead(path, values, count, "%d\n");
}

void doubleArrayReadTxt(const char *path, double *values, int count)
{
    textArrayRead(path, values, count, "%lf\n");
}

void intArrayReadBin(const char *path, int *values, int count)
{
    binaryArrayRead(path, values, count);
}

void doubleArrayReadBin(const char *path, double *values, int count)
{
    binaryArrayRead(path, values, count);
}

void floatAppend(float value, const char *path)
{
    appendLine(path, "%f\n", value);
}

void doubleAppend(double value, const char *path)
{
    appendLine(path, "%lf\n", value);
}

void floatWrite(const char *path, float value)
{
    outputFile out(path, "w");
    out.printf("%g\n", static_cast<double>(value));
    out.close();
}

void intListRead(const char *path, std::vector<int> &list)
{
    listRead(path, list, "%d");
}

void floatListRead(const char *path, std::vector<float> &list)
{
    listRead(path, list, "%f");
}

void intListWrite(const char *path, const std::vector<int> &list)
{
    outputFile out(path, "w");
    for (int value : list)
        out.printf("%d\n", value);
    out.close();
}

void stringListWrite(const char *path, const std::vector<std::string> &list)
{
    outputFile out(path, "w");
    for (const std::string &s : list)
        out.printf("%s\n", s.c_str());
    out.close();
}

void bufferWrite(const char *path, const char *bytes, int size)
{
    outputFile out(path, "wb");
    if (size > 0)
        out.write(bytes, static_cast<size_t>(size));
    out.close();
}

void lineListRead(const char *path, std::vector<std::string> &lines, char commentChar)
{
    std::ifstream stream(path);
    if (!stream.is_open())
        throw error("Unable to open \"" + std::string(path) + "\"!\n", 1).at(path);
    lines.clear();
    // An empty line has no first character to be a comment mark: it is kept.
    for (std::string line; std::getline(stream, line);)
        if (commentChar == '\0' || line.empty() || line[0] != commentChar)
            lines.push_back(line);
}

std::vector<std::vector<std::string>> tableRead(const char *path)
{
    std::vector<std::string> lines;
    lineListRead(path, lines, '\0');
    std::vector<std::vector<std::string>> rows(lines.size());
    for (size_t i = 0; i < lines.size(); i++)
        stringSplit(lines[i], '\t', rows[i]);
    return rows;
}

}  // namespace mac2mod

void intArrayRead(const char *path, int *values, int count)
{
    mac2mod::orExit([&] { mac2mod::intArrayRead(path, values, count); });
}

void doubleArrayRead(const char *path, double *values, int count)
{
    mac2mod::orExit([&] { mac2mod::doubleArrayRead(path, values, count); });
}

void intArrayReadTxt(const char *path, int *values, int count)
{
    mac2mod::orExit([&] { mac2mod::intArrayReadTxt(path, values, count); });
}

void doubleArrayReadTxt(const char *path, double *values, int count)
{
    mac2mod::orExit([&] { mac2mod::doubleArrayReadTxt(path, values, count); });
}

void intArrayReadBin(const char *path, int *values, int count)
{
    mac2mod::orExit([&] { mac2mod::intArrayReadBin(path, values, count); });
}

void doubleArrayReadBin(const char *path, double *values, int count)
{
    mac2mod::orExit([&] { mac2mod::doubleArrayReadBin(path, values, count); });
}

void floatAppend(float value, const char *path)
{
    mac2mod::orExit([&] { mac2mod::floatAppend(value, path); });
}

void doubleAppend(double value, const char *path)
{
    mac2mod::orExit([&] { mac2mod::doubleAppend(value, path); });
}

void floatWrite(const char *path, float value)
{
    mac2mod::orExit([&] { mac2mod::floatWrite(path, value); });
}

void intListRead(const char *path, std::vector<int> &list)
{
    mac2mod::orExit([&] { mac2mod::intListRead(path, list); });
}

void floatListRead(const char *path, std::vector<float> &list)
{
    mac2mod::orExit([&] { mac2mod::floatListRead(path, list); });
}

void intListWrite(const char *path, const std::vector<int> &list)
{
    mac2mod::orExit([&] { mac2mod::intListWrite(path, list); });
}

void stringListWrite(const char *path, const std::vector<std::string> &list)
{
    mac2mod::orExit([&] { mac2mod::stringListWrite(path, list); });
}

void bufferWrite(const char *path, const char *bytes, int size)
{
    mac2mod::orExit([&] { mac2mod::bufferWrite(path, bytes, size); });
}

void lineListRead(const char *path, std::vector<std::string> &lines, char commentChar)
{
    mac2mod::orExit([&] { mac2mod::lineListRead(path, lines, commentChar); });
}

std::vector<std::vector<std::string>> tableRead(const char *path)
{
    return mac2mod::orExit([&] { return mac2mod::tableRead(path); });
}

void stringSplit(const std::string &text, char delimiter, std::vector<std::string> &fields)
{
    fields.clear();
    std::istringstream stream(text);
    for (std::string piece; std::getline(stream, piece, delimiter);)
        fields.push_back(piece);
}
