#include <algorithm>
#include <cctype>

#include "formats/probes.h"
#include "formats/waveheader.h"

namespace zelph {

namespace {

// Everything after the last ".", or the whole path when it has none.
std::string LowerCaseExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? path : path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

AudioDescription DescribeAudioFile(const std::string& path) {
    const std::string extension = LowerCaseExtension(path);
    if (extension == "ape") return {true, DescribeApeFile(path)};
    if (extension == "flac" || extension == "oga") return {true, DescribeFlacFile(path)};
    if (extension == "opus") return {true, DescribeOpusFile(path)};
    if (extension == "mp3" || extension == "mp2") return {true, DescribeMpegFile(path)};
    if (extension == "ogg") return {true, DescribeOggFile(path)};
    if (extension == "vqf") return {true, DescribeTwinVqFile(path)};
    if (extension == "wav") return {true, DescribeWaveFile(path)};
    return {false, "Unknown Audio File Format"};
}

}  // namespace zelph
