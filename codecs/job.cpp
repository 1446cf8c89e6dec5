#include "codecs/job.h"

#include <array>
#include <utility>

namespace zelph {

namespace {

constexpr std::array<std::pair<EngineId, std::string_view>, 13> kEngineNames = {{
    {EngineId::kEncWavPcm, "ENCWAVPCM"},
    {EngineId::kEncMp3Blade, "ENCMP3BLADE"},
    {EngineId::kEncMp3Lame, "ENCMP3LAME"},
    {EngineId::kEncMp3GoGo, "ENCMP3GOGO"},
    {EngineId::kEncOggVorbis, "ENCOGGVORBIS"},
    {EngineId::kEncApeMonkey, "ENCAPEMONKEY"},
    {EngineId::kEncFlac, "ENCFLAC"},
    {EngineId::kEncOpus, "ENCOPUS"},
    {EngineId::kDecMp3, "DECMP3"},
    {EngineId::kDecOggVorbis, "DECOGGVORBIS"},
    {EngineId::kDecApeMonkey, "DECAPEMONKEY"},
    {EngineId::kDecFlac, "DECFLAC"},
    {EngineId::kDecOpus, "DECOPUS"},
}};

}  // namespace

std::string_view EngineName(EngineId id) {
    for (const auto& [engine, name] : kEngineNames)
        if (engine == id) return name;
    return "";
}

}  // namespace zelph
