#pragma once
// printf-style filling of the probes' description texts.

#include <algorithm>
#include <cstdio>
#include <string>

namespace zelph {

template <typename... Args>
std::string FormatDescription(const char* format, Args... args) {
    char text[128];
    const int length = std::snprintf(text, sizeof text, format, args...);
    return std::string(text, length > 0 ? std::min<std::size_t>(length, sizeof text - 1) : 0);
}

}  // namespace zelph
