#include "hmm/readPosition.h"

namespace {
readPosition stopped;
}

const readPosition &lastReadPosition()
{
    return stopped;
}

void setReadPosition(const char *path, long offset, bool binary)
{
    stopped.path = path;
    stopped.offset = offset;
    stopped.binary = binary;
}
