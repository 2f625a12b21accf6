#include "fuzzSupport.h"
#include "utility/byteOrder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>


namespace {

std::string folder;

void removeFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

int lowestFreeDescriptor()
{
    int fd = open("/dev/null", O_RDONLY);
    if (fd < 0)
        fail("cannot open /dev/null");
    close(fd);
    return fd;
}

bool terminated(const char *field, size_t capacity)
{
    return std::memchr(field, '\0', capacity) != nullptr;
}

}  // namespace

void fuzzInitialize()
{
    // Memory-backed when the machine has it: every input is written and read back.
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path().string();
    std::string templ = base + "/mac2mod-fuzz-XXXXXX";
    if (!mkdtemp(templ.data()))
        fail("cannot make the private folder");
    folder = templ;
    std::atexit(removeFolder);
}

std::string fuzzPath(const char *name)
{
    return folder + "/" + name;
}

void writeInput(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *stream = std::fopen(path.c_str(), "wb");
    if (!stream || (size > 0 && std::fwrite(data, size, 1, stream) != 1) || std::fclose(stream) != 0)
        fail("cannot write the input file");
}

std::string readWhole(const std::string &path)
{
    FILE *stream = std::fopen(path.c_str(), "rb");
    if (!stream)
        fail("cannot read back a file");
    std::string bytes;
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes.append(buffer, got);
    std::fclose(stream);
    return bytes;
}

void checkSetCapacities(const hmmSet &set)
{
    if (set.modelNum < 0 || (set.modelNum > 0 && !set.model))
        fail("modelNum");
    if (set.streamNum < 1 || set.streamNum > MAX_STREAM_NUM)
        fail("streamNum");
    for (int s = 0; s < set.streamNum; s++)
        if (set.vecSize[s] < 1 || set.vecSize[s] > MAX_PARAM_NUM)
            fail("vecSize");
    if (!terminated(set.globalOption, MAX_STR_LEN))
        fail("globalOption");
    for (int m = 0; m < set.modelNum; m++) {
        const hmmModel &model = set.model[m];
        if (!terminated(model.str, MAX_NAME_LEN))
            fail("model name");
        if (model.stateNum < 2 || model.stateNum > MAX_STATE_NUM)
            fail("stateNum");
        for (int e = 0; e < model.stateNum - 2; e++)
            for (int s = 0; s < set.streamNum; s++) {
                int mixtureNum = model.state[e].stream[s].mixtureNum;
                if (mixtureNum < 0 || mixtureNum > MAX_MIXTURE_NUM)
                    fail("mixtureNum");
            }
    }
}

// A refused read may tell a value that did not convert at the place of the one before; only
// an accepted read is held to the order.
void checkingObserver::model(int m, long offset)
{
    ordered_ = ordered_ && m == models_++ && offset > last_;
    last_ = offset;
}

void checkingObserver::value(const valueSite &site, float value, long offset)
{
    ordered_ = ordered_ && offset > last_ && site.model == models_ - 1;
    last_ = offset;
    values_.push_back({site, value, offset});
}

void checkingObserver::stream(int m, int e, int s, int given, long countsOffset)
{
    ordered_ = ordered_ && m == models_ - 1 && e >= 0 && s >= 0 && given >= 0 && countsOffset > 0;
}

void checkingObserver::check(const hmmSet &set, const uint8_t *data, size_t size, bool binary) const
{
    if (!ordered_ || models_ != set.modelNum || last_ >= static_cast<long>(size))
        std::abort();
    for (const told &t : values_) {
        if (floatBits(heldAt(set, t.site)) != floatBits(t.value) ||
            (binary && getLE32(data + t.offset) != floatBits(t.value)))
            std::abort();
    }
}

inputGuard::inputGuard() : lowestFree_(lowestFreeDescriptor())
{
}

void inputGuard::checkNothingLeft(std::initializer_list<const char *> keep) const
{
    if (lowestFreeDescriptor() != lowestFree_)
        fail("a file descriptor was left open");
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        fail("cannot list the private folder");
    while (const dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        bool expected = name == "." || name == "..";
        for (const char *k : keep)
            expected = expected || name == k;
        if (!expected) {
            std::fprintf(stderr, "left behind: %s\n", name.c_str());
            closedir(dir);
            fail("a file was left in the private folder");
        }
    }
    closedir(dir);
}
