#include "settings/enginetuning.h"

#include <QDialog>

#include <memory>

#include "settings/engineapemonkey.h"
#include "settings/engineflac.h"
#include "settings/engineopus.h"
#include "settings/enginemp3blade.h"
#include "settings/enginemp3gogo.h"
#include "settings/enginemp3lame.h"
#include "settings/engineoggvorbis.h"
#include "settings/enginewavpcm.h"
#include "settings/preferences.h"
#include "settings/tuning.h"

namespace zelph {

namespace {

using WindowMaker = std::unique_ptr<QDialog> (*)(ConverterSettings&, QWidget*);

template <typename Window, auto block>
std::unique_ptr<QDialog> Make(ConverterSettings& s, QWidget* parent) {
    return std::make_unique<Window>(&(s.*block), parent);
}

// Each target's tuning window, on its encoder's block of the record.
constexpr std::pair<TargetFormat, WindowMaker> kTuningWindows[] = {
    {kTargetWav, Make<CEngineWavPcm, &ConverterSettings::wav>},
    {kTargetGoGo, Make<CEngineMp3GoGo, &ConverterSettings::gogo>},
    {kTargetLame, Make<CEngineMp3Lame, &ConverterSettings::lame>},
    {kTargetBlade, Make<CEngineMp3Blade, &ConverterSettings::blade>},
    {kTargetOgg, Make<CEngineOggVorbis, &ConverterSettings::ogg>},
    {kTargetApe, Make<CEngineApeMonkey, &ConverterSettings::ape>},
};

// FLAC's and Opus' tuning lives in the preferences file; a Save writes it there.
template <typename Window, auto block>
bool OpenPreferencesTuning(Preferences& preferences, QWidget* parent) {
    TargetTuning tuning = TuningFrom(preferences);
    Window window(&(tuning.*block), parent);
    if (window.exec() != QDialog::Accepted) return false;
    StoreTuning(tuning, preferences);
    preferences.Save();
    return true;
}

}  // namespace

bool OpenEngineTuning(int32_t targetFormat, ConverterSettings& settings, Preferences& preferences, QWidget* parent) {
    if (targetFormat == kTargetFlac) return OpenPreferencesTuning<CEngineFlac, &TargetTuning::flac>(preferences, parent);
    if (targetFormat == kTargetOpus) return OpenPreferencesTuning<CEngineOpus, &TargetTuning::opus>(preferences, parent);
    for (const auto& [target, make] : kTuningWindows) {
        if (target != targetFormat) continue;
        const std::unique_ptr<QDialog> window = make(settings, parent);
        return window->exec() == QDialog::Accepted;
    }
    return false;
}

}  // namespace zelph
