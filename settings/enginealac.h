#pragma once
// "Alac Engine": the sample size of the output, or the source's kept.

#include "settings/alactuning.h"
#include "settings/enginesamplesize.h"

namespace zelph {

class CEngineAlac : public CEngineSampleSize {
public:
    CEngineAlac(AlacSettings* block, QWidget* parent = nullptr)
        : CEngineSampleSize("Alac Engine", &block->sampleSize, parent) {}
};

}  // namespace zelph
