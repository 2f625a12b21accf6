#include "testSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string drain(int fd)
{
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    return out;
}

Outcome finish(pid_t child, int readEnd)
{
    Outcome outcome;
    outcome.out = drain(readEnd);
    close(readEnd);
    int status = 0;
    waitpid(child, &status, 0);
    outcome.exited = WIFEXITED(status);
    if (outcome.exited)
        outcome.status = static_cast<signed char>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        outcome.signal = WTERMSIG(status);
    return outcome;
}

// Forks with the child's standard output on a pipe; returns the child's pid in the parent
// and 0 in the child.
pid_t forkCaptured(int &readEnd)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    std::fflush(stdout);
    pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        return 0;
    }
    close(fds[1]);
    readEnd = fds[0];
    return child;
}

// Standard output sent to a temporary file while the object lives.
class stdoutToFile {
public:
    stdoutToFile() : file_(std::tmpfile()), saved_(-1)
    {
        if (!file_)
            throw std::runtime_error("tmpfile failed");
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        dup2(fileno(file_), STDOUT_FILENO);
    }
    ~stdoutToFile()
    {
        restore();
        std::fclose(file_);
    }
    // Everything written so far; standard output is back where it was.
    std::string text()
    {
        restore();
        lseek(fileno(file_), 0, SEEK_SET);
        return drain(fileno(file_));
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }

    FILE *file_;
    int saved_;
};

}  // namespace

Outcome runReporting(const std::function<void()> &body)
{
    Outcome outcome;
    outcome.exited = true;
    std::string message;
    stdoutToFile captured;
    try {
        body();
    } catch (const mac2mod::error &e) {
        outcome.status = e.status();
        message = e.message();
        outcome.file = e.file();
        outcome.offset = e.offset();
        outcome.line = e.line();
        outcome.column = e.column();
    }
    outcome.out = captured.text() + message;
    return outcome;
}

mac2mod::error thrownBy(const std::function<void()> &body)
{
    try {
        body();
    } catch (const mac2mod::error &e) {
        return e;
    }
    ADD_FAILURE() << "no mac2mod::error was thrown";
    return mac2mod::error("", 0);
}

Outcome runCaptured(const std::function<void()> &body)
{
    int readEnd = -1;
    pid_t child = forkCaptured(readEnd);
    if (child == 0) {
        body();
        std::fflush(stdout);
        _exit(0);
    }
    return finish(child, readEnd);
}

Outcome runProgram(const std::vector<std::string> &argv, const std::string &dir, long fileSizeLimit)
{
    int readEnd = -1;
    pid_t child = forkCaptured(readEnd);
    if (child == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        if (fileSizeLimit > 0)
            limitFileSize(fileSizeLimit);
        std::vector<char *> args;
        for (const std::string &arg : argv)
            args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return finish(child, readEnd);
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "mac2mod-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScopedCwd::ScopedCwd(const std::string &dir) : previous_(std::filesystem::current_path().string())
{
    std::filesystem::current_path(dir);
}

ScopedCwd::~ScopedCwd()
{
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool fileExists(const std::string &path)
{
    return std::filesystem::exists(path);
}

void limitFileSize(long limit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_FSIZE, &rl);
}

ScopedFileSizeLimit::ScopedFileSizeLimit(long limit)
{
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = previous_;
    rl.rlim_cur = static_cast<rlim_t>(limit);
    setrlimit(RLIMIT_FSIZE, &rl);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
}
