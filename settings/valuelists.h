#pragma once
// The value lists behind the tuning windows' drop-down lists. A settings
// index field stores a position in one of these lists and its value field the
// entry's value; the windows and the command line both use these tables.

#include <cstdint>
#include <span>
#include <string>

namespace zelph {

struct ValueList {
    std::span<const double> values;
    std::span<const char* const> labels;  // empty: the labels are the values

    int size() const { return static_cast<int>(values.size()); }
    bool Contains(int position) const { return position >= 0 && position < size(); }
    // Position of `value`, or -1.
    int Find(double value) const;
    std::string Label(int position) const;
};

// Stores the entry at `position` as an index/value pair, so that the two
// never disagree; a position outside the list stores nothing.
template <typename Value>
bool StoreEntry(const ValueList& list, int position, int32_t& index, Value& value) {
    if (!list.Contains(position)) return false;
    index = position;
    value = static_cast<Value>(list.values[position]);
    return true;
}

extern const ValueList kBladeBitrates;
extern const ValueList kMpeg1SampleRates;
extern const ValueList kMp3Bitrates;
extern const ValueList kLameResampleRates;
extern const ValueList kOggBitrates;
extern const ValueList kOggResampleRates;
extern const ValueList kApeCompressionLevels;
extern const ValueList kGoGoEmphases;
extern const ValueList kLameVbrMethods;
extern const ValueList kLamePresets;
// Quality by track-bar position 0..9 (stored as float32).
extern const ValueList kOggQualities;

}  // namespace zelph
