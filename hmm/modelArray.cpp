#include "hmm/modelArray.h"

#include <cstdio>
#include <cstdlib>

#include "utility/fatal.h"

hmmModel *allocateModels(int modelNum)
{
    hmmModel *model = static_cast<hmmModel *>(std::calloc(modelNum, sizeof(hmmModel)));
    if (!model && modelNum > 0)
        fatalf(1, "Error: cannot allocate memory for %d models\n", modelNum);
    return model;
}
