// The one way a library routine reports a failure: it throws mac2mod::error, which carries the
// text the command-line programs print for it, the exit status they end with, and where in
// which file the fault was met. Only a program's edge (main, or an exiting wrapper) prints it
// and ends the process.
//
//     try { mac2mod::readSet(set, "x.mac"); }
//     catch (const mac2mod::error &e) { e.status(); e.file(); e.line(); e.column(); }
#pragma once

#include <new>
#include <stdexcept>
#include <string>

namespace mac2mod {

class error : public std::runtime_error {
public:
    explicit error(const std::string &message, int status = 1);

    // what() and message(): the text the exiting operation prints, line ends included.
    const std::string &message() const { return message_; }
    int status() const { return status_; }
    const std::string &file() const { return file_; }   // "" when no file is at fault
    long offset() const { return offset_; }             // byte offset in file(), or -1
    int line() const { return line_; }                  // 1-based for text files, 0 if unknown
    int column() const { return column_; }

    // The same error placed in a file; a place already set is kept.
    error &at(const std::string &file, long offset = -1);
    error &atLine(int line, int column);

private:
    std::string message_;
    int status_;
    std::string file_;
    long offset_ = -1;
    int line_ = 0;
    int column_ = 0;
};

// The printf result of format as a string, of any length.
std::string formatted(const char *format, ...) __attribute__((format(printf, 1, 2)));

// An error whose message is the printf result of format; raisef throws it.
error errorf(int status, const char *format, ...) __attribute__((format(printf, 2, 3)));
[[noreturn]] void raisef(int status, const char *format, ...) __attribute__((format(printf, 2, 3)));

// The edge: prints the message on standard output, flushed, and ends the process with its status.
[[noreturn]] void exitWith(const error &e);

// The error for memory that could not be had.
error outOfMemory();

// Runs f at the edge: an error it throws ends the process as exitWith does, and so does
// memory that could not be had (outOfMemory).
template <class F>
decltype(auto) orExit(F &&f)
{
    try {
        return f();
    } catch (const error &e) {
        exitWith(e);
    } catch (const std::bad_alloc &) {
        exitWith(outOfMemory());
    }
}

}  // namespace mac2mod
