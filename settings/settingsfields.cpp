#include "settings/settingsfields.h"

#include <charconv>
#include <cstring>
#include <type_traits>
#include <utility>

namespace zelph {

namespace {

template <typename T>
constexpr FieldType TypeOf() {
    // A mode is stored as the plain number of its enumerator.
    if constexpr (std::is_enum_v<T>) return TypeOf<std::underlying_type_t<T>>();
    if constexpr (std::is_same_v<T, int16_t>) return FieldType::Int16;
    if constexpr (std::is_same_v<T, int32_t>) return FieldType::Int32;
    if constexpr (std::is_same_v<T, float>) return FieldType::Float32;
    return FieldType::Folder;
}

#define ZELPH_AT(member)                    \
    FieldType{TypeOf<std::remove_cvref_t<   \
        decltype(std::declval<ConverterSettings&>().member)>>()}, \
        offsetof(ConverterSettings, member)

#define ZELPH_RANGE(name, member, lo, hi) {name, ZELPH_AT(member), lo, hi}
#define ZELPH_FLAG(name, member) ZELPH_RANGE(name, member, 0, 1)
#define ZELPH_PAIR(indexName, indexMember, valueName, valueMember, valueList)          \
    {indexName, ZELPH_AT(indexMember), 0, 0, &valueList, true,                         \
     offsetof(ConverterSettings, valueMember),                                         \
     TypeOf<std::remove_cvref_t<decltype(std::declval<ConverterSettings&>().valueMember)>>()}, \
    {valueName, ZELPH_AT(valueMember), 0, 0, &valueList, false,                        \
     offsetof(ConverterSettings, indexMember), FieldType::Int32}

const SettingsField kFields[] = {
    // Any target's number; the planner names one that no target row has.
    ZELPH_RANGE("targetFormat", targetFormat, kTargetWav, INT32_MAX),
    ZELPH_RANGE("general.outputFolderMode", general.outputFolderMode, 1, 2),
    ZELPH_RANGE("general.existingFileAction", general.existingFileAction, 1, 3),
    ZELPH_RANGE("general.afterOperation", general.afterOperation, 1, 2),
    {"general.outputFolder", FieldType::Folder, offsetof(ConverterSettings, general.outputFolder)},
    ZELPH_RANGE("wav.channelMode", wav.channelMode, 1, 2),
    ZELPH_RANGE("wav.sampleSizeMode", wav.sampleSizeMode, 1, 2),

    ZELPH_FLAG("blade.copyrightBit", blade.copyrightBit),
    ZELPH_FLAG("blade.crcBit", blade.crcBit),
    ZELPH_FLAG("blade.originalBit", blade.originalBit),
    ZELPH_FLAG("blade.privateBit", blade.privateBit),
    ZELPH_PAIR("blade.bitrateIndex", blade.bitrateIndex, "blade.bitrate", blade.bitrate, kBladeBitrates),
    ZELPH_PAIR("blade.sampleRateIndex", blade.sampleRateIndex, "blade.sampleRate", blade.sampleRate,
               kMpeg1SampleRates),
    ZELPH_RANGE("blade.channelMode", blade.channelMode, 1, 3),

    ZELPH_FLAG("lame.bitReservoir", lame.bitReservoir),
    ZELPH_FLAG("lame.copyrightBit", lame.copyrightBit),
    ZELPH_FLAG("lame.crcBit", lame.crcBit),
    ZELPH_FLAG("lame.originalBit", lame.originalBit),
    ZELPH_FLAG("lame.privateBit", lame.privateBit),
    ZELPH_FLAG("lame.xingVbrHeader", lame.xingVbrHeader),
    ZELPH_PAIR("lame.abrBitrateIndex", lame.abrBitrateIndex, "lame.abrBitrate", lame.abrBitrate, kMp3Bitrates),
    ZELPH_PAIR("lame.cbrBitrateIndex", lame.cbrBitrateIndex, "lame.cbrBitrate", lame.cbrBitrate, kMp3Bitrates),
    ZELPH_PAIR("lame.vbrMaxBitrateIndex", lame.vbrMaxBitrateIndex, "lame.vbrMaxBitrate", lame.vbrMaxBitrate,
               kMp3Bitrates),
    ZELPH_PAIR("lame.vbrMinBitrateIndex", lame.vbrMinBitrateIndex, "lame.vbrMinBitrate", lame.vbrMinBitrate,
               kMp3Bitrates),
    ZELPH_PAIR("lame.vbrMethodIndex", lame.vbrMethodIndex, "lame.vbrMethod", lame.vbrMethod, kLameVbrMethods),
    ZELPH_PAIR("lame.presetIndex", lame.presetIndex, "lame.preset", lame.preset, kLamePresets),
    ZELPH_PAIR("lame.resampleRateIndex", lame.resampleRateIndex, "lame.resampleRate", lame.resampleRate,
               kLameResampleRates),
    ZELPH_RANGE("lame.bitrateMode", lame.bitrateMode, 1, 3),
    ZELPH_RANGE("lame.channelMode", lame.channelMode, 1, 3),
    ZELPH_RANGE("lame.sampleRateMode", lame.sampleRateMode, 1, 2),
    ZELPH_RANGE("lame.mpegVersion", lame.mpegVersion, 1, 2),
    ZELPH_RANGE("lame.quality", lame.quality, 0, 9),

    ZELPH_FLAG("gogo.use3DNow", gogo.use3DNow),
    ZELPH_FLAG("gogo.useAltivec", gogo.useAltivec),
    ZELPH_FLAG("gogo.useCMov", gogo.useCMov),
    ZELPH_FLAG("gogo.useE3DNow", gogo.useE3DNow),
    ZELPH_FLAG("gogo.useEMMX", gogo.useEMMX),
    ZELPH_FLAG("gogo.useKNI", gogo.useKNI),
    ZELPH_FLAG("gogo.lowPassFilter", gogo.lowPassFilter),
    ZELPH_FLAG("gogo.useMMX", gogo.useMMX),
    ZELPH_FLAG("gogo.psychoAcoustics", gogo.psychoAcoustics),
    ZELPH_FLAG("gogo.useSSE2", gogo.useSSE2),
    ZELPH_PAIR("gogo.bitrateIndex", gogo.bitrateIndex, "gogo.bitrate", gogo.bitrate, kMp3Bitrates),
    ZELPH_PAIR("gogo.vbrMaxBitrateIndex", gogo.vbrMaxBitrateIndex, "gogo.vbrMaxBitrate", gogo.vbrMaxBitrate,
               kMp3Bitrates),
    ZELPH_PAIR("gogo.vbrMinBitrateIndex", gogo.vbrMinBitrateIndex, "gogo.vbrMinBitrate", gogo.vbrMinBitrate,
               kMp3Bitrates),
    ZELPH_PAIR("gogo.emphasisIndex", gogo.emphasisIndex, "gogo.emphasis", gogo.emphasis, kGoGoEmphases),
    ZELPH_PAIR("gogo.resampleRateIndex", gogo.resampleRateIndex, "gogo.resampleRate", gogo.resampleRate,
               kMpeg1SampleRates),
    ZELPH_RANGE("gogo.bitrateMode", gogo.bitrateMode, 1, 3),
    ZELPH_RANGE("gogo.channelMode", gogo.channelMode, 1, 3),
    ZELPH_RANGE("gogo.sampleRateMode", gogo.sampleRateMode, 1, 2),
    ZELPH_RANGE("gogo.tagMode", gogo.tagMode, 1, 2),
    ZELPH_RANGE("gogo.quality", gogo.quality, 0, 9),

    ZELPH_RANGE("ogg.bitrateMode", ogg.bitrateMode, 1, 3),
    ZELPH_RANGE("ogg.sampleRateMode", ogg.sampleRateMode, 1, 2),
    ZELPH_RANGE("ogg.channelMode", ogg.channelMode, 1, 2),
    ZELPH_PAIR("ogg.qualityPosition", ogg.qualityPosition, "ogg.vbrQuality", ogg.vbrQuality, kOggQualities),
    ZELPH_PAIR("ogg.abrBitrateIndex", ogg.abrBitrateIndex, "ogg.abrBitrate", ogg.abrBitrate, kOggBitrates),
    ZELPH_PAIR("ogg.trueVbrBitrateIndex", ogg.trueVbrBitrateIndex, "ogg.trueVbrBitrate", ogg.trueVbrBitrate,
               kOggBitrates),
    ZELPH_PAIR("ogg.resampleRateIndex", ogg.resampleRateIndex, "ogg.resampleRate", ogg.resampleRate,
               kOggResampleRates),

    ZELPH_PAIR("ape.compressionIndex", ape.compressionIndex, "ape.compressionLevel", ape.compressionLevel,
               kApeCompressionLevels),
    ZELPH_RANGE("ape.channelMode", ape.pcm.channelMode, 1, 2),
    ZELPH_RANGE("ape.sampleSizeMode", ape.pcm.sampleSizeMode, 1, 2),
};

#undef ZELPH_PAIR
#undef ZELPH_FLAG
#undef ZELPH_RANGE
#undef ZELPH_AT

void Store(ConverterSettings& settings, std::size_t offset, FieldType type, double value) {
    auto* at = reinterpret_cast<unsigned char*>(&settings) + offset;
    if (type == FieldType::Int16) {
        const auto v = static_cast<int16_t>(value);
        std::memcpy(at, &v, sizeof v);
    } else if (type == FieldType::Int32) {
        const auto v = static_cast<int32_t>(value);
        std::memcpy(at, &v, sizeof v);
    } else {
        const auto v = static_cast<float>(value);
        std::memcpy(at, &v, sizeof v);
    }
}

bool ParseNumber(std::string_view text, FieldType type, double& out) {
    if (type == FieldType::Float32) {
        float v = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
        out = v;
        return error == std::errc() && end == text.data() + text.size();
    }
    int32_t v = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    out = v;
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::span<const SettingsField> SettingsFields() { return kFields; }

const SettingsField* FindSettingsField(std::string_view name) {
    for (const auto& field : kFields)
        if (name == field.name) return &field;
    return nullptr;
}

std::string SetSettingsField(ConverterSettings& settings, std::string_view name, std::string_view value) {
    const SettingsField* field = FindSettingsField(name);
    if (!field) return "unknown settings field '" + std::string(name) + "'";
    const std::string invalid = "invalid value '" + std::string(value) + "' for " + field->name;

    if (field->type == FieldType::Folder) {
        std::string folder(value);
        if (!folder.empty() && folder.back() != '/') folder += '/';
        return SetOutputFolder(settings.general, folder) ? "" : invalid;
    }
    double number = 0;
    if (!ParseNumber(value, field->type, number)) return invalid;

    if (!field->list) {
        if (number < field->min || number > field->max) return invalid;
        Store(settings, field->offset, field->type, number);
        return "";
    }
    const int position = field->isIndex ? static_cast<int>(number) : field->list->Find(number);
    if (!field->list->Contains(position) || (field->isIndex && position != number))
        return invalid;
    const double listValue = field->list->values[position];
    const std::size_t indexOffset = field->isIndex ? field->offset : field->partnerOffset;
    const std::size_t valueOffset = field->isIndex ? field->partnerOffset : field->offset;
    const FieldType valueType = field->isIndex ? field->partnerType : field->type;
    Store(settings, indexOffset, FieldType::Int32, position);
    Store(settings, valueOffset, valueType, listValue);
    return "";
}

}  // namespace zelph
