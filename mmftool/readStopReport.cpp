#include "mmftool/readStopReport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "hmm/readPosition.h"
#include "utility/fatal.h"
#include "utility/fileUtil.h"

namespace {

// Of a token longer than this, only the beginning is shown.
constexpr size_t TOKEN_SHOWN = 40;
constexpr int BINARY_FIELD = 4;

// Line and column (from 1, in bytes) of offset, counted from the file's start; leaves the
// stream at offset.
void lineAndColumn(FILE *stream, long offset, long &line, long &column)
{
    line = 1;
    column = 1;
    char buffer[1 << 16];
    for (long at = 0; at < offset;) {
        size_t got = std::fread(buffer, 1, std::min<size_t>(sizeof buffer, offset - at), stream);
        if (got == 0)
            return;
        for (size_t k = 0; k < got; k++) {
            column = buffer[k] == '\n' ? 1 : column + 1;
            line += buffer[k] == '\n';
        }
        at += static_cast<long>(got);
    }
}

// The token at the stream's position, as text fit for a terminal: bytes that do not print
// are shown as \xNN.
std::string tokenAt(FILE *stream)
{
    std::string shown;
    size_t length = 0;
    int c;
    while ((c = std::fgetc(stream)) != EOF && !std::isspace(c)) {
        if (length++ == TOKEN_SHOWN)
            return shown + "...";
        if (std::isprint(c)) {
            shown += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        }
    }
    return length == 0 ? "end of file" : shown;
}

// The field's bytes in hexadecimal, as far as the file holds them.
std::string fieldAt(FILE *stream)
{
    std::string shown;
    int c = 0;
    for (int k = 0; k < BINARY_FIELD && (c = std::fgetc(stream)) != EOF; k++) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02x", shown.empty() ? "" : " ", c);
        shown += hex;
    }
    if (c != EOF)
        return shown;
    return shown.empty() ? "end of file" : shown + ", then end of file";
}

void printReadStop(const readPosition &stopped)
{
    uniqueFile stream(std::fopen(stopped.path.c_str(), "rb"));
    if (!stream)
        return;
    if (stopped.binary) {
        if (std::fseek(stream.get(), stopped.offset, SEEK_SET) == 0)
            std::printf("Stopped at byte %ld of \"%s\": %s\n", stopped.offset, stopped.path.c_str(),
                        fieldAt(stream.get()).c_str());
        return;
    }
    long line, column;
    lineAndColumn(stream.get(), stopped.offset, line, column);
    std::printf("Stopped at line %ld, column %ld of \"%s\": %s\n", line, column,
                stopped.path.c_str(), tokenAt(stream.get()).c_str());
}

void reportReadStop(int status)
{
    setFatalHandler(nullptr);
    const readPosition &stopped = lastReadPosition();
    if (!stopped.path.empty())
        printReadStop(stopped);
    fatalExit(status);
}

}  // namespace

void installReadStopReport()
{
    setFatalHandler(reportReadStop);
}
