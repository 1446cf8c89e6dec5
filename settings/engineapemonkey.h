#pragma once
// "Ape Engine": Monkey's Audio compression level, and the channels and sample
// size its input is brought to.

#include "settings/dialogparts.h"
#include "settings/tuningwindow.h"

namespace zelph {

class CEngineApeMonkey : public CTuningWindow {
public:
    CEngineApeMonkey(ApeSettings* block, QWidget* parent = nullptr);

private:
    void ShowBlock() override;
    void StoreBlock() override;

    ApeSettings* block_;
    ValueListBox* compression_;
    PcmFormatChoice format_;
};

}  // namespace zelph
