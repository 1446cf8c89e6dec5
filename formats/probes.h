#pragma once
// The file list's one-line descriptions: each probe reads a few header
// fields of its format and returns a description or an error text; none
// throws.

#include <string>

namespace zelph {

inline constexpr char kFileInUseText[] = "File Doesnot Exist Or In Use";

struct AudioDescription {
    bool known = false;  // the extension names one of the listed formats
    std::string text;
};

std::string DescribeApeFile(const std::string& path);
std::string DescribeMpegFile(const std::string& path);
std::string DescribeOggFile(const std::string& path);
std::string DescribeOpusFile(const std::string& path);
std::string DescribeTwinVqFile(const std::string& path);

}  // namespace zelph
