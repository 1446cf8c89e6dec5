#pragma once
// General Settings' preview of output names: the list's first files planned
// as a batch of their own, by the planner every conversion goes through, so
// the preview cannot name a file otherwise than the conversion will.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/generalsettingsdlg.h"
#include "settings/preferences.h"
#include "settings/settings.h"

namespace zelph {

inline constexpr std::size_t kPreviewedFiles = 20;

// `record` and `preferences` give everything but the naming choices; files
// further down the list than kPreviewedFiles are not read.
NamePreview PreviewOutputNames(const ConverterSettings& record, const Preferences& preferences, int32_t targetFormat,
                               const std::vector<std::string>& files, const NameChoices& choices);

}  // namespace zelph
