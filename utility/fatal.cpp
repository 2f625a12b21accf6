#include "utility/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {
fatalHandler installedHandler = nullptr;
}

void fatalExit(int status)
{
    std::fflush(stdout);
    if (installedHandler)
        installedHandler(status);
    std::exit(status);
}

void fatalf(int status, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    fatalExit(status);
}

fatalHandler setFatalHandler(fatalHandler handler)
{
    fatalHandler previous = installedHandler;
    installedHandler = handler;
    return previous;
}
