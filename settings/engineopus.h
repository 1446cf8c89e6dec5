#pragma once
// "Opus Engine": bit rate, VBR / constrained VBR / CBR, complexity, and
// whether the audio is music or speech.

#include "settings/dialogparts.h"
#include "settings/settingswindow.h"
#include "settings/opustuning.h"

class QSlider;
class QSpinBox;

namespace zelph {

class CEngineOpus : public CSettingsWindow {
public:
    CEngineOpus(OpusSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    OpusSettings* block_;
    QSpinBox* bitrate_;
    RadioGroup mode_, application_;
    QSlider* complexity_;
};

}  // namespace zelph
