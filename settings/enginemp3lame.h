#pragma once
// "Mp3 Lame Engine": bit-rate mode and rates, VBR method and quality, preset,
// channels, resampling, MPEG version and header bits of the LAME encoder.

#include "settings/dialogparts.h"
#include "settings/tuningwindow.h"

namespace zelph {

class CEngineMp3Lame : public CTuningWindow {
public:
    CEngineMp3Lame(LameSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    LameSettings* block_;
    RadioGroup bitrateMode_;
    ValueListBox* cbrBitrate_;
    ValueListBox* abrBitrate_;
    ValueListBox* vbrMinBitrate_;
    ValueListBox* vbrMaxBitrate_;
    QSlider* quality_;
    ValueListBox* vbrMethod_;
    RadioGroup channels_;
    FlagBoxes<LameSettings> flags_;
    RadioGroup sampleRateMode_;
    ValueListBox* resampleRate_;
    ValueListBox* preset_;
    RadioGroup mpegVersion_;
};

}  // namespace zelph
