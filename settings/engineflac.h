#pragma once
// "Flac Engine": libFLAC's compression level, the verify pass, and the
// channels and sample size its input is brought to (or the source's kept).

#include "settings/dialogparts.h"
#include "settings/settingswindow.h"
#include "settings/flactuning.h"

class QCheckBox;
class QSlider;

namespace zelph {

class CEngineFlac : public CSettingsWindow {
public:
    CEngineFlac(FlacSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    FlacSettings* block_;
    QSlider* level_;
    QCheckBox* verify_;
    PcmFormatChoice format_;
};

}  // namespace zelph
