#pragma once
// "Aac Engine": VBR at a quality or CBR at a bit rate.

#include "settings/aactuning.h"
#include "settings/dialogparts.h"
#include "settings/settingswindow.h"

class QDoubleSpinBox;
class QSpinBox;

namespace zelph {

class CEngineAac : public CSettingsWindow {
public:
    CEngineAac(AacSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    AacSettings* block_;
    QDoubleSpinBox* quality_;
    QSpinBox* bitrate_;
    RadioGroup mode_;
};

}  // namespace zelph
