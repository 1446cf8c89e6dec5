#include "settings/enginemp3gogo.h"
#include "settings/enginetuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

namespace zelph {

CEngineMp3GoGo::CEngineMp3GoGo(GoGoSettings* block, QWidget* parent)
    : CSettingsWindow("Mp3 GoGo Engine", parent),
      block_(block),
      bitrateMode_(this),
      bitrate_(new ValueListBox(kMp3Bitrates, "bitrate", this)),
      vbrMinBitrate_(new ValueListBox(kMp3Bitrates, "vbrMinBitrate", this)),
      vbrMaxBitrate_(new ValueListBox(kMp3Bitrates, "vbrMaxBitrate", this)),
      flags_(this),
      channels_(this),
      tagMode_(this),
      sampleRateMode_(this),
      resampleRate_(new ValueListBox(kMpeg1SampleRates, "resampleRate", this)),
      quality_(MakeTrackBar(this)),
      emphasis_(new ValueListBox(kGoGoEmphases, "emphasis", this)) {
    auto* minLabel = new QLabel("Min", this);
    auto* maxLabel = new QLabel("Max", this);

    // CBR and ABR share the first list; VBR uses the range below it.
    auto* rates = new QGridLayout;
    rates->addWidget(bitrateMode_.Add("CBR", Mp3BitrateMode::kCbr, {bitrate_}), 0, 0);
    rates->addWidget(bitrateMode_.Add("ABR", Mp3BitrateMode::kAbr, {bitrate_}), 1, 0);
    rates->addWidget(bitrateMode_.Add("VBR", Mp3BitrateMode::kVbr, {vbrMinBitrate_, minLabel, vbrMaxBitrate_, maxLabel}), 2, 0);
    rates->addWidget(bitrate_, 0, 1, 2, 2, Qt::AlignVCenter);
    rates->addWidget(minLabel, 2, 1, Qt::AlignRight);
    rates->addWidget(vbrMinBitrate_, 2, 2);
    rates->addWidget(maxLabel, 3, 1, Qt::AlignRight);
    rates->addWidget(vbrMaxBitrate_, 3, 2);
    KeepMinimumBelowMaximum(vbrMinBitrate_, vbrMaxBitrate_);

    auto* units = new QGridLayout;
    units->addWidget(flags_.Add("MMX", &GoGoSettings::useMMX), 0, 0);
    units->addWidget(flags_.Add("EMMX", &GoGoSettings::useEMMX), 0, 1);
    units->addWidget(flags_.Add("3DNow", &GoGoSettings::use3DNow), 1, 0);
    units->addWidget(flags_.Add("E3DNow", &GoGoSettings::useE3DNow), 1, 1);
    units->addWidget(flags_.Add("KNI", &GoGoSettings::useKNI), 2, 0);
    units->addWidget(flags_.Add("SSE2", &GoGoSettings::useSSE2), 2, 1);
    units->addWidget(flags_.Add("CMov", &GoGoSettings::useCMov), 3, 0);
    units->addWidget(flags_.Add("Altivec", &GoGoSettings::useAltivec), 3, 1);

    QLayout* channels =
        Column({channels_.Add("Mono", Mp3Channels::kMono), channels_.Add("Stereo", Mp3Channels::kStereo),
                channels_.Add("Joint Stereo", Mp3Channels::kJointStereo)});
    QLayout* enable = Column({tagMode_.Add("Lame Tag", GoGoTagMode::kLameTag), tagMode_.Add("VBR Tag", GoGoTagMode::kVbrTag),
                              flags_.Add("Psycho Acoustics", &GoGoSettings::psychoAcoustics),
                              flags_.Add("Low Pass Filter", &GoGoSettings::lowPassFilter)});

    auto* frequency = new QGridLayout;
    frequency->addWidget(sampleRateMode_.Add("From Source", SampleRateMode::kFromSource), 0, 0);
    frequency->addWidget(sampleRateMode_.Add("Resample", SampleRateMode::kResample, {resampleRate_}), 1, 0);
    frequency->addWidget(resampleRate_, 1, 1);

    auto* tone = new QGridLayout;
    tone->addWidget(new QLabel("Quality", this), 0, 0);
    tone->addWidget(quality_, 0, 1);
    tone->addWidget(new QLabel("Emphasis", this), 1, 0);
    tone->addWidget(emphasis_, 1, 1);

    auto* controls = new QGridLayout;
    controls->addWidget(MakeGroup("Bit Rate(Kbps)", rates, this), 0, 0);
    controls->addWidget(MakeGroup("Special Units", units, this), 0, 1);
    controls->addWidget(MakeGroup("Channels", channels, this), 1, 0);
    controls->addWidget(MakeGroup("Enable", enable, this), 1, 1);
    controls->addWidget(MakeGroup("Frequency (Hz)", frequency, this), 2, 0);
    controls->addLayout(tone, 2, 1);
    SetControls(controls);
}

void CEngineMp3GoGo::ShowBlock() {
    bitrate_->Show(block_->bitrateIndex);
    vbrMinBitrate_->Show(block_->vbrMinBitrateIndex);
    vbrMaxBitrate_->Show(block_->vbrMaxBitrateIndex);
    flags_.Show(*block_);
    channels_.Show(block_->channelMode);
    tagMode_.Show(block_->tagMode);
    resampleRate_->Show(block_->resampleRateIndex);
    quality_->setValue(block_->quality);
    emphasis_->Show(block_->emphasisIndex);
    bitrateMode_.Show(block_->bitrateMode);
    sampleRateMode_.Show(block_->sampleRateMode);
}

void CEngineMp3GoGo::StoreBlock() {
    bitrate_->Store(block_->bitrateIndex, block_->bitrate);
    vbrMinBitrate_->Store(block_->vbrMinBitrateIndex, block_->vbrMinBitrate);
    vbrMaxBitrate_->Store(block_->vbrMaxBitrateIndex, block_->vbrMaxBitrate);
    flags_.Store(*block_);
    channels_.Store(block_->channelMode);
    tagMode_.Store(block_->tagMode);
    resampleRate_->Store(block_->resampleRateIndex, block_->resampleRate);
    block_->quality = quality_->value();
    emphasis_->Store(block_->emphasisIndex, block_->emphasis);
    bitrateMode_.Store(block_->bitrateMode);
    sampleRateMode_.Store(block_->sampleRateMode);
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetGoGo, OpenRecordTuning<CEngineMp3GoGo, &ConverterSettings::gogo>);
}  // namespace

}  // namespace zelph
