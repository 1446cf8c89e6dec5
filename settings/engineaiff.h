#pragma once
// "Aiff Engine": the sample size of the output, or the source's kept.

#include "settings/aifftuning.h"
#include "settings/enginesamplesize.h"

namespace zelph {

class CEngineAiff : public CEngineSampleSize {
public:
    CEngineAiff(AiffSettings* block, QWidget* parent = nullptr)
        : CEngineSampleSize("Aiff Engine", &block->sampleSize, parent) {}
};

}  // namespace zelph
