#include "utility/paddedFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "utility/error.h"

namespace mac2mod {

namespace {

[[noreturn]] void cannot(const std::string &path, const char *what, const std::string &reason)
{
    throw error(path + ": " + what + ": " + reason + "\n", 1);
}

}  // namespace

paddedFile::paddedFile(const std::string &path, size_t padding)
{
    // Looked at before it is opened: opening a pipe waits for a writer.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        cannot(path, "cannot read", "it is a folder");
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        cannot(path, "cannot read", "it is not a regular file (a device or a pipe)");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        cannot(path, "cannot open", std::strerror(errno));
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        cannot(path, "cannot read", "it is not a regular file (a device or a pipe)");
    }
    const size_t size = static_cast<size_t>(info.st_size);
    if (size > 0 && map(fd, size, padding)) {
        ::close(fd);
        return;
    }
    // Not mapped (an empty file, a file system without mappings): read, no further than the
    // size the file had when it was opened.
    owned_.assign(size + padding, 0);
    size_t used = 0;
    while (used < size) {
        ssize_t n = ::read(fd, owned_.data() + used, size - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int saved = errno;
            ::close(fd);
            cannot(path, "cannot read", std::strerror(saved));
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    data_ = owned_.data();
    size_ = used;
}

paddedFile::paddedFile(const void *bytes, size_t size, size_t padding)
{
    owned_.assign(static_cast<const char *>(bytes), static_cast<const char *>(bytes) + size);
    owned_.resize(size + padding, 0);
    data_ = owned_.data();
    size_ = size;
}

paddedFile::~paddedFile()
{
    if (map_)
        ::munmap(map_, mapLength_);
}

// The file mapped with anonymous zero pages after it for the padding: no copy, and its pages
// come from the page cache.
bool paddedFile::map(int fd, size_t size, size_t padding)
{
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t length = (size + padding + page - 1) / page * page;
    const size_t fileLength = (size + page - 1) / page * page;
    void *area = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return false;
    void *file = ::mmap(area, fileLength, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0);
    if (file == MAP_FAILED) {
        ::munmap(area, length);
        return false;
    }
    map_ = area;
    mapLength_ = length;
    data_ = static_cast<const char *>(area);
    size_ = size;
    return true;
}

}  // namespace mac2mod
