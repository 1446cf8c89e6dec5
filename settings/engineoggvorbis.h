#pragma once
// "Ogg Engine ": bit-rate mode with quality or bit rates, resampling and
// channels of the Vorbis encoder.

#include "settings/dialogparts.h"
#include "settings/tuningwindow.h"

namespace zelph {

class CEngineOggVorbis : public CTuningWindow {
public:
    CEngineOggVorbis(OggVorbisSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    OggVorbisSettings* block_;
    RadioGroup bitrateMode_;
    QSlider* quality_;
    ValueListBox* abrBitrate_;
    ValueListBox* trueVbrBitrate_;
    RadioGroup sampleRateMode_;
    ValueListBox* resampleRate_;
    RadioGroup channels_;
};

}  // namespace zelph
