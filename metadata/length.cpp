#include "metadata/length.h"

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

namespace zelph {

std::optional<int64_t> AudioLength(const std::string& path) {
    const TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Fast);
    if (file.isNull() || !file.audioProperties()) return std::nullopt;
    return file.audioProperties()->lengthInMilliseconds();
}

}  // namespace zelph
