// Writes the fuzzer's seed corpus: tiny files of each level and format, with
// frames of music, of silence and of two equal channels.

#include <cmath>
#include <string>
#include <vector>

#include "plugins/macdll/compressor.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    int failures = 0;
    for (int level : {1000, 2000, 5000}) {
        for (auto [channels, bits] : {std::pair{2, 16}, std::pair{1, 8}}) {
            std::vector<uint8_t> pcm;
            for (int i = 0; i < 500 * channels; ++i) {
                const int block = i / channels;
                const bool silent = block >= 128 && block < 256;
                const bool equal = block >= 256 && block < 384;
                const int v = silent ? 0 : static_cast<int>(100 * std::sin((equal ? block : i) * 0.05));
                if (bits == 8) {
                    pcm.push_back(static_cast<uint8_t>(128 + v));
                } else {
                    pcm.push_back(static_cast<uint8_t>(v * 50));
                    pcm.push_back(static_cast<uint8_t>((v * 50) >> 8));
                }
            }
            zelph::ape::Compressor c;
            zelph::ape::CompressOptions o;
            o.format = {channels, bits, level};
            o.maxAudioBytes = static_cast<int64_t>(pcm.size());
            o.blocksPerFrame = 128;
            const std::string path =
                std::string(argv[1]) + "/seed-" + std::to_string(level) + "-" + std::to_string(bits) + ".ape";
            failures += c.Start(path, o) != 0 || c.AddData(pcm) != 0 || c.Finish({}, 0) != 0;
        }
    }
    return failures ? 1 : 0;
}
