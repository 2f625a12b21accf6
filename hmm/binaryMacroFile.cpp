// Reading a binary macro file from disk: its stream, its size, and the array's pages made
// resident from the far end on a second thread while the reader fills it from the front.
#include "hmm/binaryMacro.h"

#include <memory>
#include <optional>
#include <sys/stat.h>

#include "hmm/modelArray.h"
#include "utility/fileUtil.h"

namespace {

class prefaulting : public binaryReadProgress {
public:
    // Only for a file whose size vouched for modelNum: a stream that claims many models and
    // then stalls must not have memory populated beyond what was read.
    explicit prefaulting(bool sized) : sized_(sized) {}
    void arrayReady(hmmModel *model, int modelNum) override
    {
        if (sized_)
            prefaulter_.emplace(model, modelNum);
    }
    void reached(int modelId) override
    {
        if (prefaulter_)
            prefaulter_->reached(modelId);
    }

private:
    bool sized_;
    std::optional<modelArrayPrefaulter> prefaulter_;
};

}  // namespace

void readBinaryMacroFile(hmmSet &set, const char *path, fieldObserver *observer)
{
    // Fields are a few bytes each: without a large buffer of our own, the C library would
    // fetch the file in 4 KiB reads. Declared first, so it goes after the stream is closed.
    constexpr size_t BUFFER_SIZE = 64 << 10;
    std::unique_ptr<char[]> buffer(new char[BUFFER_SIZE]);
    uniqueFile stream(mac2mod::openFile(path, "rb"));
    std::setvbuf(stream.get(), buffer.get(), _IOFBF, BUFFER_SIZE);
    struct stat info;
    long size = fstat(fileno(stream.get()), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
    prefaulting progress(size >= 0);
    readBinaryMacroStream(set, path, stream.get(), size, &progress, observer);
}
