#include "settings/engineapemonkey.h"
#include "settings/enginetuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace zelph {

CEngineApeMonkey::CEngineApeMonkey(ApeSettings* block, QWidget* parent)
    : CSettingsWindow("Ape Engine", parent),
      block_(block),
      compression_(new ValueListBox(kApeCompressionLevels, "compressionLevel", this)),
      format_(this) {
    auto* controls = new QGridLayout;
    controls->addWidget(new QLabel("Compression", this), 0, 0);
    controls->addWidget(compression_, 0, 1);
    controls->addWidget(format_.channelsBox(), 1, 0);
    controls->addWidget(format_.sampleSizeBox(), 1, 1);
    SetControls(controls);
}

void CEngineApeMonkey::ShowBlock() {
    compression_->Show(block_->compressionIndex);
    format_.Show(block_->pcm);
}

void CEngineApeMonkey::StoreBlock() {
    compression_->Store(block_->compressionIndex, block_->compressionLevel);
    format_.Store(block_->pcm);
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetApe, OpenRecordTuning<CEngineApeMonkey, &ConverterSettings::ape>);
}  // namespace

}  // namespace zelph
