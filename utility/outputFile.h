// A file being written whose every write and close are checked. A write that fails (a full
// disk, a file-size limit) removes what was written (a device or pipe written to stays) and
// throws "Error: cannot write \"path\"." with status -1, so no run reports success over a
// truncated file.
//
// With replace set, the bytes go to a temporary file beside the target, which is renamed
// over the target only once it is complete: a failed run leaves an earlier file untouched,
// and the new file keeps the earlier one's permissions. A symbolic link at the target stays,
// and the file it names is replaced. A device or pipe at the target is written to directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "utility/signalCleanup.h"

class outputFile {
public:
    // Opens the file, or throws "Error: Cannot open \"path\"." (or openFailure, a message
    // with one %s for the path) with status -1.
    outputFile(const char *path, const char *mode, bool replace = false,
               const char *openFailure = nullptr);
    ~outputFile();   // a file never closed (the process is unwinding) is removed
    outputFile(const outputFile &) = delete;
    outputFile &operator=(const outputFile &) = delete;

    void write(const void *bytes, size_t size);
    void printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void putLE32(uint32_t value);
    void putFloat(float value);
    void close();

private:
    [[noreturn]] void fail();
    void discard();   // removes what was written, unless that is a device or pipe

    // Blocks larger than this go to the file directly; small ones are gathered. Kept
    // modest: it is allocated for every file, however small.
    static constexpr size_t BUFFER_SIZE = 64 << 10;

    std::string target_;
    std::string written_;   // the target itself, or the temporary file beside the one replaced
    std::string replaced_;  // the file renamed over when complete (the target, or what it links to)
    bool removable_ = true; // false for a device or pipe at the target
    FILE *stream_;
    std::unique_ptr<char[]> buffer_;   // the stream's, released after the stream is closed
    std::unique_ptr<mac2mod::temporaryNote> note_;   // the temporary file, for a signal's end
};
