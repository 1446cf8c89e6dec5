#pragma once
// "Alac Engine": the sample size of the output, or the source's kept.

#include "settings/alactuning.h"
#include "settings/dialogparts.h"
#include "settings/settingswindow.h"

namespace zelph {

class CEngineAlac : public CSettingsWindow {
public:
    CEngineAlac(AlacSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    AlacSettings* block_;
    RadioGroup sampleSize_;
};

}  // namespace zelph
