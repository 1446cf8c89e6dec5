#include "settings/enginetuning.h"

#include <QDialog>

#include <memory>

#include "core/job.h"
#include "settings/engineapemonkey.h"
#include "settings/enginemp3blade.h"
#include "settings/enginemp3gogo.h"
#include "settings/enginemp3lame.h"
#include "settings/engineoggvorbis.h"
#include "settings/enginewavpcm.h"

namespace zelph {

namespace {

std::unique_ptr<QDialog> MakeTuningWindow(std::string_view engineId, ConverterSettings& s, QWidget* parent) {
    if (engineId == kEncWavPcm) return std::make_unique<CEngineWavPcm>(&s.wav, parent);
    if (engineId == kEncMp3Blade) return std::make_unique<CEngineMp3Blade>(&s.blade, parent);
    if (engineId == kEncMp3Lame) return std::make_unique<CEngineMp3Lame>(&s.lame, parent);
    if (engineId == kEncMp3GoGo) return std::make_unique<CEngineMp3GoGo>(&s.gogo, parent);
    if (engineId == kEncOggVorbis) return std::make_unique<CEngineOggVorbis>(&s.ogg, parent);
    if (engineId == kEncApeMonkey) return std::make_unique<CEngineApeMonkey>(&s.ape, parent);
    return nullptr;
}

}  // namespace

bool OpenEngineTuning(std::string_view engineId, ConverterSettings& settings, QWidget* parent) {
    const std::unique_ptr<QDialog> window = MakeTuningWindow(engineId, settings, parent);
    return window && window->exec() == QDialog::Accepted;
}

}  // namespace zelph
