#pragma once
// "WavPack Engine": the encoder's effort, and lossless or hybrid with its
// bit rate and correction file.

#include "settings/dialogparts.h"
#include "settings/settingswindow.h"
#include "settings/wavpacktuning.h"

class QCheckBox;
class QSpinBox;

namespace zelph {

class CEngineWavPack : public CSettingsWindow {
public:
    CEngineWavPack(WavPackSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    WavPackSettings* block_;
    RadioGroup level_, mode_;
    QSpinBox* bitrate_;
    QCheckBox* correction_;
};

}  // namespace zelph
