// Reading a whole text macro file: the models are counted, the array allocated, and the
// models read in order or, for a large set, in pieces side by side on several threads.
#include "hmm/textMacroReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <cstdlib>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "hmm/modelArray.h"
#include "utility/error.h"
#include "utility/fileUtil.h"

using mac2mod::raisef;

void headerStarts::add(long offset)
{
    if (count_++ % stride_ != 0)
        return;
    starts_.push_back({count_ - 1, offset});
    if (starts_.size() < LIMIT)
        return;
    // Every other one goes, and from now on every other header is kept.
    size_t kept = 0;
    for (size_t k = 0; k < starts_.size(); k += 2)
        starts_[kept++] = starts_[k];
    starts_.resize(kept);
    stride_ *= 2;
}

void headerStarts::append(const headerStarts &later)
{
    for (const start &s : later.starts_)
        starts_.push_back({count_ + s.model, s.offset});
    count_ += later.count_;
}

const headerStarts::start &headerStarts::nearest(int model) const
{
    auto after = std::lower_bound(starts_.begin(), starts_.end(), model,
                                  [](const start &s, int m) { return s.model < m; });
    if (after == starts_.end() || (after != starts_.begin() && model - after[-1].model < after->model - model))
        --after;
    return *after;
}

int countModelHeaders(FILE *stream, headerStarts *starts, long end)
{
    // Left unfilled: a small file touches only the little of the block that it reads.
    const size_t bufferSize = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    const size_t pieceMax = MAX_STR_LEN - 1;
    int count = 0;
    long offset = std::ftell(stream);   // of buffer[0]
    size_t pieceLen = 0;   // characters of the current piece seen so far
    bool tilde = false;    // the current piece begins with '~'
    size_t got;
    auto wanted = [&] {
        return end < 0 ? bufferSize : std::min(bufferSize, static_cast<size_t>(std::max(0L, end - offset)));
    };
    while ((got = std::fread(buffer.get(), 1, wanted(), stream)) > 0) {
        const char *p = buffer.get();
        const char *last = p + got;
        while (p < last) {
            if (pieceLen < 2) {
                char c = *p++;
                if (pieceLen == 0) {
                    tilde = c == '~';
                } else if (tilde && c == 'h') {
                    count++;
                    if (starts)
                        starts->add(offset + (p - buffer.get()) - 2);
                }
                pieceLen = (c == '\n' || ++pieceLen == pieceMax) ? 0 : pieceLen;
                continue;
            }
            size_t span = std::min(pieceMax - pieceLen, static_cast<size_t>(last - p));
            const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', span));
            if (lineEnd) {
                p = lineEnd + 1;
                pieceLen = 0;
            } else {
                p += span;
                pieceLen = (pieceLen + span == pieceMax) ? 0 : pieceLen + span;
            }
        }
        offset += static_cast<long>(got);
    }
    return count;
}

namespace {

// The offset just after the first line end at or after offset, or -1 when there is none.
long lineStartAfter(FILE *stream, long offset)
{
    if (std::fseek(stream, offset, SEEK_SET) != 0)
        return -1;
    for (int c; (c = std::getc(stream)) != EOF; offset++)
        if (c == '\n')
            return offset + 1;
    return -1;
}

// The counting pass is a read of the whole file: with split, the halves before and after the
// first line start past the middle are counted side by side (every line start is a piece
// start, so each half counts exactly the pieces the whole count finds in it).
int countHeaders(FILE *stream, const char *path, headerStarts &starts, bool split)
{
    const long origin = std::ftell(stream);
    uniqueFile second(split ? std::fopen(path, "r") : nullptr);
    long middle = -1;
    if (second && std::fseek(second.get(), 0, SEEK_END) == 0)
        middle = lineStartAfter(second.get(), (origin + std::ftell(second.get())) / 2);
    if (middle < 0)
        return countModelHeaders(stream, &starts);
    headerStarts secondStarts;
    std::exception_ptr failure;   // memory the second count could not have, met again here
    std::thread counter;
    try {
        counter = std::thread([&] {
            try {
                countModelHeaders(second.get(), &secondStarts);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error &) {
        return countModelHeaders(stream, &starts);   // no second thread: one count of it all
    }
    try {
        countModelHeaders(stream, &starts, middle);
    } catch (...) {
        counter.join();
        throw;
    }
    counter.join();
    if (failure)
        std::rethrow_exception(failure);
    starts.append(secondStarts);
    return starts.count();
}

// Reads the models from start first up to start last from a stream of its own; the header
// has been read already.
void readPiece(hmmSet &set, const char *path, headerStarts::start first, headerStarts::start last)
{
    uniqueFile stream(std::fopen(path, "r"));
    if (!stream || std::fseek(stream.get(), first.offset, SEEK_SET) != 0)
        raisef(-1, "Error: Cannot open \"%s\".\n", path);
    readTextMacroPiece(set, path, stream.get(), first.model, last.model, last.offset);
}

// The models split into pieces read side by side, one per core, each starting at its first
// model's "~h" line (one of the starts kept by the count). False when any piece failed: the
// caller then reads the whole file again in order, so that the first fault in the file is
// the one reported.
bool readInPieces(hmmSet &set, FILE *stream, const char *path, const headerStarts &starts, int pieces)
{
    std::vector<headerStarts::start> bounds{{0, 0}};
    for (int k = 1; k < pieces; k++) {
        headerStarts::start s = starts.nearest(static_cast<int>(static_cast<long long>(set.modelNum) * k / pieces));
        if (s.model > bounds.back().model)
            bounds.push_back(s);
    }
    bounds.push_back({set.modelNum, -1});
    pieces = static_cast<int>(bounds.size()) - 1;
    std::vector<std::thread> threads;
    std::vector<char> failed(pieces, 0);
    auto attempt = [&](int k, auto read) {
        try {
            read();
        } catch (...) {   // reported, if it is one, by the reading in order
            failed[k] = 1;
        }
    };
    // The other pieces start once the header, which they read from the set, is in it.
    auto startOthers = [&] {
        for (int k = 1; k < pieces; k++) {
            try {
                threads.emplace_back([&, k] { attempt(k, [&] { readPiece(set, path, bounds[k], bounds[k + 1]); }); });
            } catch (const std::system_error &) {
                failed[k] = 1;   // no thread to be had: the whole read runs in order
            }
        }
    };
    attempt(0, [&] { readTextMacroPiece(set, path, stream, 0, bounds[1].model, bounds[1].offset, startOthers); });
    for (std::thread &thread : threads)
        thread.join();
    return std::find(failed.begin(), failed.end(), 1) == failed.end();
}

}  // namespace

void readTextMacroFile(hmmSet &set, const char *path, int pieces, fieldObserver *observer)
{
    // The file is read twice, counted and then parsed, and in pieces from several offsets: a
    // pipe or a device cannot be. Refused before it is opened, which could wait for a writer.
    struct stat info;
    if (stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        throw mac2mod::error("Error: \"" + std::string(path) +
                             "\" is not a regular file, and a text macro file is read twice.\n", 1).at(path);
    uniqueFile stream(mac2mod::openData(path, "r"));
    const int cores = static_cast<int>(std::min(4u, std::thread::hardware_concurrency()));
    headerStarts starts;
    if (observer)
        pieces = 1;   // one stream, read in file order
    bool split = pieces > 1 || (pieces == 0 && cores > 1 && streamSize(stream.get()) >= (4 << 20));
    set.modelNum = countHeaders(stream.get(), path, starts, split);
    set.model = allocateModels(set.modelNum);
    if (pieces == 0)
        pieces = set.modelNum >= 100 ? cores : 1;
    pieces = std::min(pieces, set.modelNum);
    std::rewind(stream.get());
    if (pieces > 1) {
        if (readInPieces(set, stream.get(), path, starts, pieces))
            return;
        // A fresh zero-filled array, not a memset: the pieces wrote only the models they read,
        // and filling the whole array would touch every page of a set of many "~h" lines.
        // Allocated before the old one goes, so the set never holds a freed array.
        hmmModel *fresh = allocateModels(set.modelNum);
        std::free(set.model);
        set.model = fresh;
        set.streamNum = 0;
        std::fill(std::begin(set.vecSize), std::end(set.vecSize), 0);
        set.globalOption[0] = '\0';
        std::rewind(stream.get());
    }
    readTextMacroPiece(set, path, stream.get(), 0, set.modelNum, -1, {}, observer);
}
