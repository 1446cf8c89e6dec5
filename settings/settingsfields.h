#pragma once
// Every field of ConverterSettings by its "block.field" name, with the values
// it may take, so that settings can be edited by name (zelph-convert --set).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings.h"
#include "settings/valuelists.h"

namespace zelph {

enum class FieldType { Int16, Int32, Float32, Folder };

struct SettingsField {
    const char* name;  // "<block>.<field>", as --set takes it
    FieldType type;
    std::size_t offset;
    int32_t min = 0, max = 0;          // plain numbers: the allowed range
    const ValueList* list = nullptr;   // index/value pairs: the list behind both
    bool isIndex = false;
    std::size_t partnerOffset = 0;     // the pair's other field
    FieldType partnerType = FieldType::Int32;
};

std::span<const SettingsField> SettingsFields();
const SettingsField* FindSettingsField(std::string_view name);

// Stores `value` into the named field, and into its pair partner so that the
// index and value of a list always agree. Returns an error text, or "" when
// the value was stored.
std::string SetSettingsField(ConverterSettings& settings, std::string_view name,
                             std::string_view value);

}  // namespace zelph
