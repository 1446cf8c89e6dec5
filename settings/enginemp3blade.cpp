#include "settings/enginemp3blade.h"
#include "settings/enginetuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace zelph {

CEngineMp3Blade::CEngineMp3Blade(BladeSettings* block, QWidget* parent)
    : CSettingsWindow("Mp3 Blade Engine", parent),
      block_(block),
      sampleRate_(new ValueListBox(kMpeg1SampleRates, "sampleRate", this)),
      bitrate_(new ValueListBox(kBladeBitrates, "bitrate", this)),
      channels_(this),
      flags_(this) {
    QLayout* channels = Column({channels_.Add("Mono", BladeChannels::kMono), channels_.Add("Stereo", BladeChannels::kStereo),
                             channels_.Add("Dual Channel", BladeChannels::kDualChannel)});
    QLayout* bits = Column({flags_.Add("Private Bit", &BladeSettings::privateBit),
                            flags_.Add("Original Bit", &BladeSettings::originalBit),
                            flags_.Add("Copyright Bit", &BladeSettings::copyrightBit),
                            flags_.Add("CRC Bit", &BladeSettings::crcBit)});

    auto* controls = new QGridLayout;
    controls->addWidget(new QLabel("Frequency (Hz)", this), 0, 0);
    controls->addWidget(sampleRate_, 0, 1);
    controls->addWidget(new QLabel("Bit Rate (Kbps)", this), 1, 0);
    controls->addWidget(bitrate_, 1, 1);
    controls->addWidget(MakeGroup("Channels", channels, this), 2, 0);
    controls->addWidget(MakeGroup("Enable", bits, this), 2, 1);
    SetControls(controls);
}

void CEngineMp3Blade::ShowBlock() {
    sampleRate_->Show(block_->sampleRateIndex);
    bitrate_->Show(block_->bitrateIndex);
    channels_.Show(block_->channelMode);
    flags_.Show(*block_);
}

void CEngineMp3Blade::StoreBlock() {
    sampleRate_->Store(block_->sampleRateIndex, block_->sampleRate);
    bitrate_->Store(block_->bitrateIndex, block_->bitrate);
    channels_.Store(block_->channelMode);
    flags_.Store(*block_);
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetBlade, OpenRecordTuning<CEngineMp3Blade, &ConverterSettings::blade>);
}  // namespace

}  // namespace zelph
