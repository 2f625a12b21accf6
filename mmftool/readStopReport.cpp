#include "mmftool/readStopReport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "utility/fileUtil.h"

namespace {

// Of a token longer than this, only the beginning is shown.
constexpr size_t TOKEN_SHOWN = 40;
constexpr int BINARY_FIELD = 4;

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

}  // namespace

int reportReadStop(const mac2mod::error &stopped)
{
    std::fputs(stopped.message().c_str(), stdout);
    uniqueFile stream(stopped.file().empty() || stopped.offset() < 0
                          ? nullptr : std::fopen(stopped.file().c_str(), "rb"));
    if (stream && std::fseek(stream.get(), stopped.offset(), SEEK_SET) == 0) {
        if (stopped.line() == 0)
            std::printf("Stopped at byte %ld of \"%s\": %s\n", stopped.offset(),
                        stopped.file().c_str(), fieldAt(stream.get()).c_str());
        else
            std::printf("Stopped at line %d, column %d of \"%s\": %s\n", stopped.line(),
                        stopped.column(), stopped.file().c_str(), tokenAt(stream.get()).c_str());
    }
    std::fflush(stdout);
    return stopped.status();
}
