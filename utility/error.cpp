#include "utility/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace mac2mod {

error::error(const std::string &message, int status)
    : std::runtime_error(message), message_(message), status_(status)
{
}

error &error::at(const std::string &file, long offset)
{
    if (file_.empty()) {
        file_ = file;
        offset_ = offset;
    }
    return *this;
}

error &error::atLine(int line, int column)
{
    if (line_ == 0) {
        line_ = line;
        column_ = column;
    }
    return *this;
}

namespace {

std::string vformatted(const char *format, va_list args)
{
    va_list again;
    va_copy(again, args);
    int size = std::vsnprintf(nullptr, 0, format, args);
    std::string text(size > 0 ? size : 0, '\0');
    if (size > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

}  // namespace

std::string formatted(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = vformatted(format, args);
    va_end(args);
    return text;
}

error errorf(int status, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = vformatted(format, args);
    va_end(args);
    return error(text, status);
}

void raisef(int status, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = vformatted(format, args);
    va_end(args);
    throw error(text, status);
}

error outOfMemory()
{
    return error("Error: not enough memory.\n", 1);
}

void exitWith(const error &e)
{
    std::fputs(e.message().c_str(), stdout);
    std::fflush(stdout);
    std::exit(e.status());
}

}  // namespace mac2mod
