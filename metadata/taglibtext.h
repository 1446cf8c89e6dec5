#pragma once
// Text between the neutral form (UTF-8, field name → values) and TagLib's
// strings and property maps, shared by every tag form.

#include <taglib/tbytevector.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>

#include <map>
#include <string>
#include <vector>

namespace zelph {

inline std::string Utf8(const TagLib::String& text) { return text.to8Bit(true); }

inline TagLib::String FromUtf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

inline TagLib::ByteVector Bytes(const std::string& bytes) {
    return TagLib::ByteVector(bytes.data(), static_cast<unsigned>(bytes.size()));
}

inline std::string Bytes(const TagLib::ByteVector& bytes) { return std::string(bytes.data(), bytes.size()); }

inline TagLib::PropertyMap ToPropertyMap(const std::map<std::string, std::vector<std::string>>& fields) {
    TagLib::PropertyMap map;
    for (const auto& [key, values] : fields) {
        TagLib::StringList list;
        for (const std::string& value : values) list.append(FromUtf8(value));
        map.insert(FromUtf8(key), list);
    }
    return map;
}

inline std::vector<std::string> Keys(const TagLib::PropertyMap& map) {
    std::vector<std::string> keys;
    for (const auto& entry : map) keys.push_back(Utf8(entry.first));
    return keys;
}

}  // namespace zelph
