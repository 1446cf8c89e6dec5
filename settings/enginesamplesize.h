#pragma once
// A tuning window of one choice, the sample size of the output or the
// source's kept, shared by the lossless targets that offer only that.

#include "settings/dialogparts.h"
#include "settings/samplesize.h"
#include "settings/settingswindow.h"

namespace zelph {

class CEngineSampleSize : public CSettingsWindow {
public:
    CEngineSampleSize(const QString& title, SampleSizeChoice* choice, QWidget* parent);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    SampleSizeChoice* choice_;
    RadioGroup sampleSize_;
};

}  // namespace zelph
