// A whole file's bytes in memory for a parser that reads them in place, followed by zero
// bytes so that its fast paths may read a little past the end. The operating system stays
// here: a regular file is mapped, not copied; anything else (a device, a pipe, a folder) is
// refused before it is opened, so an endless device cannot fill the memory and a pipe cannot
// hold the run waiting for a writer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace mac2mod {

class paddedFile {
public:
    // Throws error (status 1) "PATH: cannot open: REASON" or "PATH: cannot read: REASON".
    paddedFile(const std::string &path, size_t padding);
    // A copy of bytes, padded the same way.
    paddedFile(const void *bytes, size_t size, size_t padding);
    ~paddedFile();
    paddedFile(const paddedFile &) = delete;
    paddedFile &operator=(const paddedFile &) = delete;

    const char *data() const { return data_; }
    size_t size() const { return size_; }

private:
    bool map(int fd, size_t size, size_t padding);

    std::vector<char> owned_;   // the bytes when read or copied, not mapped
    void *map_ = nullptr;
    size_t mapLength_ = 0;
    const char *data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace mac2mod
