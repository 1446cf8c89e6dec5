#pragma once
// "Aiff Engine": the sample size of the output, or the source's kept.

#include "settings/aifftuning.h"
#include "settings/dialogparts.h"
#include "settings/settingswindow.h"

namespace zelph {

class CEngineAiff : public CSettingsWindow {
public:
    CEngineAiff(AiffSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    AiffSettings* block_;
    RadioGroup sampleSize_;
};

}  // namespace zelph
