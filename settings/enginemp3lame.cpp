#include "settings/enginemp3lame.h"
#include "settings/enginetuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

namespace zelph {

CEngineMp3Lame::CEngineMp3Lame(LameSettings* block, QWidget* parent)
    : CSettingsWindow("Mp3 Lame Engine", parent),
      block_(block),
      bitrateMode_(this),
      cbrBitrate_(new ValueListBox(kMp3Bitrates, "cbrBitrate", this)),
      abrBitrate_(new ValueListBox(kMp3Bitrates, "abrBitrate", this)),
      vbrMinBitrate_(new ValueListBox(kMp3Bitrates, "vbrMinBitrate", this)),
      vbrMaxBitrate_(new ValueListBox(kMp3Bitrates, "vbrMaxBitrate", this)),
      quality_(MakeTrackBar(this)),
      vbrMethod_(new ValueListBox(kLameVbrMethods, "vbrMethod", this)),
      channels_(this),
      flags_(this),
      sampleRateMode_(this),
      resampleRate_(new ValueListBox(kLameResampleRates, "resampleRate", this)),
      preset_(new ValueListBox(kLamePresets, "preset", this)),
      mpegVersion_(this) {
    auto* minLabel = new QLabel("Min", this);
    auto* maxLabel = new QLabel("Max", this);
    auto* qualityLabel = new QLabel("Quality", this);
    auto* methodLabel = new QLabel("Method", this);
    QCheckBox* xingHeader = flags_.Add("Xing VBR Header", &LameSettings::xingVbrHeader);
    QCheckBox* bitReservoir = flags_.Add("Bit Reservoir", &LameSettings::bitReservoir);

    auto* rates = new QGridLayout;
    rates->addWidget(bitrateMode_.Add("CBR", Mp3BitrateMode::kCbr, {cbrBitrate_}), 0, 0);
    rates->addWidget(cbrBitrate_, 0, 1);
    rates->addWidget(bitrateMode_.Add("ABR", Mp3BitrateMode::kAbr, {abrBitrate_}), 1, 0);
    rates->addWidget(abrBitrate_, 1, 1);
    rates->addWidget(bitrateMode_.Add("VBR", Mp3BitrateMode::kVbr,
                                      {vbrMinBitrate_, vbrMaxBitrate_, minLabel, maxLabel, quality_,
                                       qualityLabel, vbrMethod_, methodLabel, xingHeader, bitReservoir}),
                     2, 0);
    rates->addWidget(minLabel, 2, 1, Qt::AlignRight);
    rates->addWidget(vbrMinBitrate_, 2, 2);
    rates->addWidget(maxLabel, 2, 3, Qt::AlignRight);
    rates->addWidget(vbrMaxBitrate_, 2, 4);
    rates->addWidget(qualityLabel, 3, 1, Qt::AlignRight);
    rates->addWidget(quality_, 3, 2);
    rates->addWidget(methodLabel, 3, 3, Qt::AlignRight);
    rates->addWidget(vbrMethod_, 3, 4);
    rates->addWidget(xingHeader, 4, 1, 1, 2);
    rates->addWidget(bitReservoir, 4, 3, 1, 2);
    KeepMinimumBelowMaximum(vbrMinBitrate_, vbrMaxBitrate_);

    QLayout* channels =
        Column({channels_.Add("Mono", Mp3Channels::kMono), channels_.Add("Stereo", Mp3Channels::kStereo),
                channels_.Add("Joint Stereo", Mp3Channels::kJointStereo)});
    QLayout* bits = Column({flags_.Add("Private Bit", &LameSettings::privateBit),
                            flags_.Add("Original Bit", &LameSettings::originalBit),
                            flags_.Add("Copyright Bit", &LameSettings::copyrightBit),
                            flags_.Add("CRC Bit", &LameSettings::crcBit)});

    auto* frequency = new QGridLayout;
    frequency->addWidget(sampleRateMode_.Add("From Source", SampleRateMode::kFromSource), 0, 0);
    frequency->addWidget(sampleRateMode_.Add("Resample", SampleRateMode::kResample, {resampleRate_}), 1, 0);
    frequency->addWidget(resampleRate_, 1, 1);

    auto* presetRow = new QHBoxLayout;
    presetRow->addWidget(new QLabel("Preset", this));
    presetRow->addWidget(preset_, 1);

    auto* mpeg = new QHBoxLayout;
    mpeg->addWidget(mpegVersion_.Add("MPEG1", MpegVersion::kMpeg1));
    mpeg->addWidget(mpegVersion_.Add("MPEG2", MpegVersion::kMpeg2));

    auto* controls = new QGridLayout;
    controls->addWidget(MakeGroup("Bit Rate(Kbps)", rates, this), 0, 0, 1, 2);
    controls->addWidget(MakeGroup("Channels", channels, this), 1, 0);
    controls->addWidget(MakeGroup("Enable", bits, this), 1, 1);
    controls->addWidget(MakeGroup("Frequency (Hz)", frequency, this), 2, 0);
    controls->addLayout(presetRow, 2, 1);
    controls->addWidget(MakeGroup("MPEG", mpeg, this), 3, 0, 1, 2);
    SetControls(controls);
}

void CEngineMp3Lame::ShowBlock() {
    cbrBitrate_->Show(block_->cbrBitrateIndex);
    abrBitrate_->Show(block_->abrBitrateIndex);
    vbrMinBitrate_->Show(block_->vbrMinBitrateIndex);
    vbrMaxBitrate_->Show(block_->vbrMaxBitrateIndex);
    quality_->setValue(block_->quality);
    vbrMethod_->Show(block_->vbrMethodIndex);
    flags_.Show(*block_);
    channels_.Show(block_->channelMode);
    resampleRate_->Show(block_->resampleRateIndex);
    preset_->Show(block_->presetIndex);
    mpegVersion_.Show(block_->mpegVersion);
    bitrateMode_.Show(block_->bitrateMode);
    sampleRateMode_.Show(block_->sampleRateMode);
}

void CEngineMp3Lame::StoreBlock() {
    cbrBitrate_->Store(block_->cbrBitrateIndex, block_->cbrBitrate);
    abrBitrate_->Store(block_->abrBitrateIndex, block_->abrBitrate);
    vbrMinBitrate_->Store(block_->vbrMinBitrateIndex, block_->vbrMinBitrate);
    vbrMaxBitrate_->Store(block_->vbrMaxBitrateIndex, block_->vbrMaxBitrate);
    block_->quality = quality_->value();
    vbrMethod_->Store(block_->vbrMethodIndex, block_->vbrMethod);
    flags_.Store(*block_);
    channels_.Store(block_->channelMode);
    resampleRate_->Store(block_->resampleRateIndex, block_->resampleRate);
    preset_->Store(block_->presetIndex, block_->preset);
    mpegVersion_.Store(block_->mpegVersion);
    bitrateMode_.Store(block_->bitrateMode);
    sampleRateMode_.Store(block_->sampleRateMode);
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetLame, OpenRecordTuning<CEngineMp3Lame, &ConverterSettings::lame>);
}  // namespace

}  // namespace zelph
