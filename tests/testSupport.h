// Shared test tools: running code in a child process with its standard output captured,
// running a throwing routine in this process as its exiting wrapper would end, temporary
// folders, and whole-file reads and writes.
#pragma once

#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "utility/error.h"

struct Outcome {
    int status = 0;        // exit status as the program passed it (-1 for exit(-1))
    bool exited = false;   // false: ended by a signal
    int signal = 0;
    std::string out;       // everything written to standard output
    std::string file;      // runReporting: the file at fault and where the error was met
    long offset = -1;
    int line = 0, column = 0;
};

// Runs body in a forked child; the child ends with status 0 when body returns.
Outcome runCaptured(const std::function<void()> &body);
// Runs body in this process with standard output captured. A mac2mod::error it throws gives
// what its exiting wrapper would: the message after whatever body printed, and the error's
// status; a body that returns has status 0. Always exited.
Outcome runReporting(const std::function<void()> &body);
// The mac2mod::error body throws, with its place. A body that throws none fails the test and
// gives an error of status 0 and an empty message.
mac2mod::error thrownBy(const std::function<void()> &body);
// Runs a program with arguments in dir, standard output captured (standard error is left
// alone). fileSizeLimit > 0 sets RLIMIT_FSIZE in the child with SIGXFSZ ignored.
Outcome runProgram(const std::vector<std::string> &argv, const std::string &dir,
                   long fileSizeLimit = 0);

// A fresh folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Changes the working directory for the life of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string &dir);
    ~ScopedCwd();

private:
    std::string previous_;
};

void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);
// Ends the calling (child) process's writes past limit bytes with EFBIG instead of SIGXFSZ.
void limitFileSize(long limit);

// The same for this process, for the life of the object; the limit and SIGXFSZ handling
// before it come back on destruction.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(long limit);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit &) = delete;
    ScopedFileSizeLimit &operator=(const ScopedFileSizeLimit &) = delete;

private:
    struct rlimit previous_;
    void (*previousHandler_)(int);
};
