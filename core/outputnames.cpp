#include "core/outputnames.h"

#include <algorithm>
#include <cctype>

#include "settings/preferences.h"

namespace zelph {

OutputNaming OutputNamingFrom(const Preferences& preferences) {
    return {.treeRoot = preferences.GetText(kKeepTreeRoot), .pattern = preferences.GetText(kNamePattern)};
}

namespace {

constexpr std::string_view kReservedCharacters = "<>:\"/\\|?*";
constexpr std::string_view kDeviceNames[] = {"CON", "PRN", "AUX", "NUL"};
constexpr std::string_view kNumberedDevices[] = {"COM", "LPT"};

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
void CutToBytes(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t end = limit;
    while (end > 0 && IsContinuationByte(text[end])) --end;
    text.resize(end);
}

void TrimTrailingDotsAndSpaces(std::string& text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool IsDeviceName(std::string_view base) {
    const std::string upper = Upper(base);
    if (std::find(std::begin(kDeviceNames), std::end(kDeviceNames), upper) != std::end(kDeviceNames)) return true;
    return upper.size() == 4 && upper[3] >= '0' && upper[3] <= '9' &&
           std::find(std::begin(kNumberedDevices), std::end(kNumberedDevices), upper.substr(0, 3)) !=
               std::end(kNumberedDevices);
}

// "1/12" -> "01", "007" -> "07", "3/100" -> "003"; anything else as it is.
std::string PaddedNumber(const std::string& value) {
    const auto slash = value.find('/');
    std::string number = value.substr(0, slash);
    const std::string total = slash == std::string::npos ? "" : value.substr(slash + 1);
    const auto digits = [](const std::string& text) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(number)) return value;
    number.erase(0, std::min(number.find_first_not_of('0'), number.size() - 1));
    const std::size_t width = std::max<std::size_t>(2, digits(total) ? total.size() : 0);
    return std::string(width > number.size() ? width - number.size() : 0, '0') + number;
}

// The first set field of "a|b|c", several values joined; "" when none is set.
std::string FieldValue(std::string_view names, const TagFields& fields) {
    while (!names.empty()) {
        const auto bar = names.find('|');
        const std::string name = Upper(names.substr(0, bar));
        names = bar == std::string_view::npos ? std::string_view() : names.substr(bar + 1);
        const auto field = fields.find(name);
        if (field == fields.end()) continue;
        std::string value;
        for (const std::string& part : field->second)
            if (!part.empty()) value += (value.empty() ? "" : ", ") + part;
        if (value.empty()) continue;
        if (name == "TRACKNUMBER" || name == "DISCNUMBER") value = PaddedNumber(value);
        // A value's "/" is text, never a folder.
        std::replace(value.begin(), value.end(), '/', '_');
        return value;
    }
    return "";
}

struct Expansion {
    std::string text;
    bool fieldMissing = false;
};

// Expands from `at` to the end of the pattern, or past the "]" that ends the
// section being expanded.
Expansion Expand(std::string_view pattern, std::size_t& at, const TagFields& fields, bool inSection) {
    Expansion result;
    while (at < pattern.size()) {
        const char c = pattern[at++];
        if (c == ']' && inSection) return result;
        if (c == '[') {
            const Expansion section = Expand(pattern, at, fields, true);
            if (!section.fieldMissing) result.text += section.text;
        } else if (c == '%') {
            const auto end = pattern.find('%', at);
            if (end == std::string_view::npos) {  // not a pattern NamePatternProblem lets through
                result.text += pattern.substr(at - 1);
                at = pattern.size();
                break;
            }
            const std::string_view names = pattern.substr(at, end - at);
            at = end + 1;
            const std::string value = names.empty() ? "%" : FieldValue(names, fields);
            result.fieldMissing |= value.empty();
            result.text += value;
        } else {
            result.text += c;
        }
    }
    return result;
}

}  // namespace

std::string NamePatternProblem(std::string_view pattern) {
    int depth = 0;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        if (pattern[at] == '%') {
            at = pattern.find('%', at + 1);
            if (at == std::string_view::npos) return "a '%' in the name pattern has no closing '%'";
        } else if (pattern[at] == '[') {
            ++depth;
        } else if (pattern[at] == ']' && --depth < 0) {
            return "a ']' in the name pattern has no '['";
        }
    }
    return depth == 0 ? "" : "a '[' in the name pattern has no ']'";
}

std::string SafeNameComponent(std::string name, std::size_t limit) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || kReservedCharacters.find(c) != std::string::npos)
            c = '_';
    CutToBytes(name, limit);
    TrimTrailingDotsAndSpaces(name);
    // Windows reads "nul .txt" as "nul" too.
    std::size_t base = std::min(name.find('.'), name.size());
    while (base > 0 && name[base - 1] == ' ') --base;
    if (IsDeviceName(std::string_view(name).substr(0, base))) {
        name.insert(base, "_");
        CutToBytes(name, limit);
        TrimTrailingDotsAndSpaces(name);
    }
    return name;
}

std::string ExpandNamePattern(std::string_view pattern, const TagFields& fields, const std::string& fallback,
                              std::size_t extensionBytes) {
    constexpr std::size_t kNameLimit = 255;
    const std::size_t lastLimit = kNameLimit - std::min(extensionBytes, kNameLimit - 1);
    std::size_t at = 0;
    const std::string expanded = Expand(pattern, at, fields, false).text;

    std::string path;
    std::size_t start = 0;
    for (auto slash = expanded.find('/'); slash != std::string::npos; slash = expanded.find('/', start)) {
        const std::string folder = SafeNameComponent(expanded.substr(start, slash - start));
        if (!folder.empty()) path += folder + "/";
        start = slash + 1;
    }
    std::string name = SafeNameComponent(expanded.substr(start), lastLimit);
    if (name.empty()) name = SafeNameComponent(fallback, lastLimit);
    return path + (name.empty() ? "_" : name);
}

}  // namespace zelph
