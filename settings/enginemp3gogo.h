#pragma once
// "Mp3 GoGo Engine": bit-rate mode and rates, processor units, channels,
// tags, filters, resampling, quality and emphasis of the GoGo encoder.

#include "settings/dialogparts.h"
#include "settings/tuningwindow.h"

namespace zelph {

class CEngineMp3GoGo : public CTuningWindow {
public:
    CEngineMp3GoGo(GoGoSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    GoGoSettings* block_;
    RadioGroup bitrateMode_;
    ValueListBox* bitrate_;
    ValueListBox* vbrMinBitrate_;
    ValueListBox* vbrMaxBitrate_;
    FlagBoxes<GoGoSettings> flags_;
    RadioGroup channels_;
    RadioGroup tagMode_;
    RadioGroup sampleRateMode_;
    ValueListBox* resampleRate_;
    QSlider* quality_;
    ValueListBox* emphasis_;
};

}  // namespace zelph
