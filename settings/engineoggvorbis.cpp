#include "settings/engineoggvorbis.h"
#include "settings/enginetuning.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>

namespace zelph {

CEngineOggVorbis::CEngineOggVorbis(OggVorbisSettings* block, QWidget* parent)
    // The title's trailing blank is the window's own.
    : CSettingsWindow("Ogg Engine ", parent),
      block_(block),
      bitrateMode_(this),
      quality_(MakeTrackBar(this)),
      abrBitrate_(new ValueListBox(kOggBitrates, "abrBitrate", this)),
      trueVbrBitrate_(new ValueListBox(kOggBitrates, "trueVbrBitrate", this)),
      sampleRateMode_(this),
      resampleRate_(new ValueListBox(kOggResampleRates, "resampleRate", this)),
      channels_(this) {
    auto* qualityLabel = new QLabel("Quality", this);
    auto* abrUnit = new QLabel("Kbps", this);
    auto* trueVbrUnit = new QLabel("Kbps", this);

    auto* rates = new QGridLayout;
    rates->addWidget(bitrateMode_.Add("VBR", OggBitrateMode::kVbr, {quality_, qualityLabel}), 0, 0);
    rates->addWidget(qualityLabel, 0, 1);
    rates->addWidget(quality_, 0, 2);
    rates->addWidget(bitrateMode_.Add("ABR", OggBitrateMode::kAbr, {abrBitrate_, abrUnit}), 1, 0);
    rates->addWidget(abrBitrate_, 1, 2);
    rates->addWidget(abrUnit, 1, 3);
    rates->addWidget(bitrateMode_.Add("True VBR", OggBitrateMode::kTrueVbr, {trueVbrBitrate_, trueVbrUnit}), 2, 0);
    rates->addWidget(trueVbrBitrate_, 2, 2);
    rates->addWidget(trueVbrUnit, 2, 3);

    auto* frequency = new QGridLayout;
    frequency->addWidget(sampleRateMode_.Add("From Source", SampleRateMode::kFromSource), 0, 0);
    frequency->addWidget(sampleRateMode_.Add("Resample", SampleRateMode::kResample, {resampleRate_}), 1, 0);
    frequency->addWidget(resampleRate_, 1, 1);

    auto* controls = new QGridLayout;
    controls->addWidget(MakeGroup("Bit Rate(Kbps)", rates, this), 0, 0, 1, 2);
    controls->addWidget(MakeGroup("Frequency (Hz)", frequency, this), 1, 0);
    controls->addWidget(
        MakeGroup("Channels", Column({channels_.Add("Mono", OggChannels::kMono), channels_.Add("Stereo", OggChannels::kStereo)}), this), 1, 1);
    SetControls(controls);
}

void CEngineOggVorbis::ShowBlock() {
    quality_->setValue(block_->qualityPosition);
    abrBitrate_->Show(block_->abrBitrateIndex);
    trueVbrBitrate_->Show(block_->trueVbrBitrateIndex);
    resampleRate_->Show(block_->resampleRateIndex);
    channels_.Show(block_->channelMode);
    bitrateMode_.Show(block_->bitrateMode);
    sampleRateMode_.Show(block_->sampleRateMode);
}

void CEngineOggVorbis::StoreBlock() {
    StoreEntry(kOggQualities, quality_->value(), block_->qualityPosition, block_->vbrQuality);
    abrBitrate_->Store(block_->abrBitrateIndex, block_->abrBitrate);
    trueVbrBitrate_->Store(block_->trueVbrBitrateIndex, block_->trueVbrBitrate);
    resampleRate_->Store(block_->resampleRateIndex, block_->resampleRate);
    channels_.Store(block_->channelMode);
    bitrateMode_.Store(block_->bitrateMode);
    sampleRateMode_.Store(block_->sampleRateMode);
}

namespace {
const bool kRegistered = RegisterTuningWindow(kTargetOgg, OpenRecordTuning<CEngineOggVorbis, &ConverterSettings::ogg>);
}  // namespace

}  // namespace zelph
