// The one way out of the process on a fatal error. Callers print their message on standard
// output first; fatalExit flushes it and ends the process with the status.
//
// A build that must survive fatal errors (the fuzz targets) installs a handler, which is
// called instead of exit and must not return (it unwinds or jumps back to its caller).
#pragma once

using fatalHandler = void (*)(int status);

[[noreturn]] void fatalExit(int status);
// printf of the message on standard output, then fatalExit(status).
[[noreturn]] void fatalf(int status, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
// Returns the handler that was installed before; nullptr restores exit.
fatalHandler setFatalHandler(fatalHandler handler);
