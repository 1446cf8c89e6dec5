#pragma once
// "Wave Engine": channels and sample size of WAV targets.

#include "settings/dialogparts.h"
#include "settings/tuningwindow.h"

namespace zelph {

class CEngineWavPcm : public CTuningWindow {
public:
    CEngineWavPcm(WavPcmSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    WavPcmSettings* block_;
    PcmFormatChoice format_;
};

}  // namespace zelph
