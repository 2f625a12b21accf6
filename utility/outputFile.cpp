#include "utility/outputFile.h"

#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "utility/byteOrder.h"
#include "utility/error.h"
#include "utility/fileUtil.h"
#include "utility/signalCleanup.h"

namespace {

// A fresh file beside the target, with the permissions of the file it replaces, or those
// fopen would have given a new one. A folder standing at the target's path cannot be
// replaced, so that fails like fopen.
FILE *openTemporaryBeside(const std::string &target, std::string &name)
{
    if (std::filesystem::is_directory(target))
        return nullptr;
    // A name that the suffix would make too long for the folder gets a short one of its own.
    std::filesystem::path where(target);
    name = target + ".XXXXXX";
    if (where.filename().string().size() + 7 > 255)
        name = (where.parent_path() / "output.XXXXXX").string();
    int fd = mkstemp(name.data());
    if (fd < 0)
        return nullptr;
    struct stat old;
    if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        fchmod(fd, old.st_mode & 07777);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    FILE *stream = fdopen(fd, "wb");
    if (!stream) {
        close(fd);
        std::remove(name.c_str());
    }
    return stream;
}

// The file a symbolic link at path names, through links to links: replacing that file keeps
// the link, as writing through the link would. Any other path is itself.
std::string followLinks(const std::string &path)
{
    std::filesystem::path at(path);
    std::error_code failed;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(at, failed); hops++) {
        std::filesystem::path next = std::filesystem::read_symlink(at, failed);
        if (failed)
            break;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return at.string();
}

}  // namespace

outputFile::outputFile(const char *path, const char *mode, bool replace, const char *openFailure)
    : target_(path), written_(path), stream_(nullptr), buffer_(new char[BUFFER_SIZE])
{
    // A device or a pipe at the target is written to, never replaced nor removed after a
    // failure: either would take the device away (/dev/full, for one, when run as root).
    struct stat existing;
    if (stat(path, &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        replace = false;
        removable_ = false;
    }
    if (replace) {
        replaced_ = followLinks(target_);
        mac2mod::signalsHeld held;
        stream_ = openTemporaryBeside(replaced_, written_);
        if (stream_)
            note_ = std::make_unique<mac2mod::temporaryNote>(written_);
    }
    else
        stream_ = std::fopen(path, mode);
    if (!stream_) {
        if (openFailure) {
            std::string message(openFailure);
            message.replace(message.find("%s"), 2, target_);
            throw mac2mod::error(message, -1).at(target_);
        }
        throw mac2mod::error("Error: Cannot open \"" + target_ + "\".\n", -1).at(target_);
    }
    // A buffer of our own: given none, the C library keeps its own block-sized one whatever
    // size is asked, and a model file would go out in 4 KiB writes.
    std::setvbuf(stream_, buffer_.get(), _IOFBF, BUFFER_SIZE);
}

outputFile::~outputFile()
{
    if (stream_) {
        std::fclose(stream_);
        discard();
    }
}

void outputFile::discard()
{
    if (removable_)
        std::remove(written_.c_str());
}

void outputFile::write(const void *bytes, size_t size)
{
    if (size > 0 && std::fwrite(bytes, size, 1, stream_) != 1)
        fail();
}

void outputFile::printf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(stream_, format, args);
    va_end(args);
    if (n < 0)
        fail();
}

void outputFile::putLE32(uint32_t value)
{
    unsigned char bytes[4];
    ::putLE32(bytes, value);
    write(bytes, sizeof bytes);
}

void outputFile::putFloat(float value)
{
    putLE32(floatBits(value));
}

void outputFile::close()
{
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
    ok = std::fclose(stream_) == 0 && ok;
    stream_ = nullptr;
    if (!ok || (!replaced_.empty() && std::rename(written_.c_str(), replaced_.c_str()) != 0)) {
        discard();
        fail();
    }
    note_.reset();
}

void outputFile::fail()
{
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
        discard();
    }
    note_.reset();
    throw mac2mod::error("Error: cannot write \"" + target_ + "\".\n", -1).at(target_);
}
