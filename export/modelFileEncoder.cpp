#include "export/modelFileEncoder.h"

#include <cmath>

#include "utility/byteOrder.h"

namespace {

class encoder {
public:
    encoder(const hmmSet &set, const std::vector<int> &indexTable, byteBuffer &bytes)
        : set_(set), indexTable_(indexTable), bytes_(bytes) {}

    int count(modelFileLayout::countField field, int, int)
    {
        int value = 0;
        switch (field) {
        case modelFileLayout::modelsAfterSil: value = set_.modelNum - 1; break;
        case modelFileLayout::vectorSize: value = set_.vecSize[0]; break;
        case modelFileLayout::stateCount: value = model_->stateNum - 2; break;
        case modelFileLayout::mixtureCount: value = model_->state[state_].stream[0].mixtureNum; break;
        }
        grow(1);
        put(static_cast<float>(value));
        return value;
    }

    void record(int j)
    {
        model_ = &set_.model[indexTable_[j]];
        state_ = 0;
        scale_ = modelFileLayout::weightScaleOf(j);
    }

    void mixtures(int m, int vecSize)
    {
        const hmmStream &stream = model_->state[state_++].stream[0];
        grow(modelFileLayout::stateValues(m, vecSize) - 1);
        for (int k = 0; k < m; k++)
            put(stream.mixture[k].mixtureWeight * scale_);
        for (int k = 0; k < m; k++)
            put(static_cast<float>(std::log(static_cast<double>(stream.mixture[k].mixtureWeight))));
        for (int k = 0; k < m; k++) {
            for (int v = 0; v < vecSize; v++)
                put(stream.mixture[k].mean[v]);
            for (int v = 0; v < vecSize; v++)
                put(stream.mixture[k].variance[v]);
        }
    }

private:
    // Room for n more values at the buffer's end, which put then fills in order.
    void grow(long n)
    {
        size_t at = bytes_.size();
        bytes_.resize(at + 4 * static_cast<size_t>(n));
        cursor_ = bytes_.data() + at;
    }
    void put(float value)
    {
        putLE32(cursor_, floatBits(value));
        cursor_ += 4;
    }

    const hmmSet &set_;
    const std::vector<int> &indexTable_;
    byteBuffer &bytes_;
    unsigned char *cursor_ = nullptr;
    const hmmModel *model_ = nullptr;
    int state_ = 0;
    float scale_ = modelFileLayout::weightScale;
};

}  // namespace

void encodeHeader(const hmmSet &set, const std::vector<int> &indexTable, byteBuffer &bytes)
{
    encoder io(set, indexTable, bytes);
    int vecSize = 0;
    modelFileLayout::header(io, vecSize);
}

void encodeRecords(const hmmSet &set, const std::vector<int> &indexTable, int first, int last,
                   byteBuffer &bytes)
{
    encoder io(set, indexTable, bytes);
    for (int j = first; j < last; j++)
        modelFileLayout::record(io, j, set.vecSize[0]);
}
