#pragma once
// "Mp3 Blade Engine": bit rate, sample rate, channels and header bits of the
// Blade encoder.

#include "settings/dialogparts.h"
#include "settings/tuningwindow.h"

namespace zelph {

class CEngineMp3Blade : public CTuningWindow {
public:
    CEngineMp3Blade(BladeSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    BladeSettings* block_;
    ValueListBox* sampleRate_;
    ValueListBox* bitrate_;
    RadioGroup channels_;
    FlagBoxes<BladeSettings> flags_;
};

}  // namespace zelph
