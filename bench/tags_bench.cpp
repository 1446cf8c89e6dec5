// What copying tags costs: a 3-minute WAV carrying tags and a 1 MB cover,
// converted to Ogg Vorbis (quality 5, the Ogg engine's default) by
// zelph-convert with and without --no-tags, against the same job done by
// oggenc -q 5 followed by vorbiscomment writing the same comments and
// picture. Whole processes on both sides, runs interleaved; prints the
// median processor time (user + sys) and wall time of each, the overhead
// of tags on each side, and the ratio ours / peer.
// Usage: tags_bench [runs]   (zelph-convert beside it; default 5 runs)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "metadata/tags.h"
#include "metadata/wavetags.h"

namespace {

struct Cost {
    double cpu = 0, wall = 0;
};

double ChildCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Cost Run(const std::string& command) {
    const double cpu = ChildCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return {ChildCpuSeconds() - cpu, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

Cost Median(std::vector<Cost> costs) {
    auto middle = [&](auto field) {
        std::vector<double> values;
        for (const Cost& cost : costs) values.push_back(cost.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {middle(&Cost::cpu), middle(&Cost::wall)};
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        uint32_t group = uint32_t(uint8_t(bytes[i])) << 16;
        if (left > 1) group |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (left > 2) group |= uint8_t(bytes[i + 2]);
        out += digits[(group >> 18) & 63];
        out += digits[(group >> 12) & 63];
        out += left > 1 ? digits[(group >> 6) & 63] : '=';
        out += left > 2 ? digits[group & 63] : '=';
    }
    return out;
}

// The picture as Vorbis comments carry it (a FLAC picture block).
std::string PictureBlock(const zelph::TagPicture& picture) {
    auto be32 = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    return be32(uint32_t(picture.type)) + be32(uint32_t(picture.mimeType.size())) + picture.mimeType +
           be32(uint32_t(picture.description.size())) + picture.description + be32(0) + be32(0) + be32(0) +
           be32(0) + be32(uint32_t(picture.data.size())) + picture.data;
}

std::string BinDir() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    return std::filesystem::path(std::string(path, static_cast<std::size_t>(length))).parent_path();
}

void Print(const char* name, const Cost& cost) {
    std::printf("%-34s cpu %7.3f s   wall %7.3f s\n", name, cost.cpu, cost.wall);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string convert = BinDir() + "/zelph-convert";
    char pattern[] = "/tmp/zelph-tags-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string dir = std::string(pattern) + "/";

    // The source: three minutes of music-like sound, its tags and the cover.
    Run("sox -n -r 44100 -c 2 -b 16 " + dir + "src.wav synth 180 pinknoise vol 0.3");
    Run("convert -size 1024x1024 xc:gray +noise Random -quality 100 " + dir + "cover.jpg");
    zelph::Tags tags;
    tags.fields = {{"TITLE", {"Benchmark"}}, {"ARTIST", {"Ann", "Bob"}}, {"ALBUM", {"Album"}},
                   {"TRACKNUMBER", {"3/12"}}, {"DATE", {"2001"}},        {"GENRE", {"Rock"}}};
    tags.pictures.push_back({3, "image/jpeg", "", ReadAll(dir + "cover.jpg")});
    if (!zelph::WriteTags(dir + "src.wav", tags, zelph::kWaveTags).error.empty()) return 1;
    {
        // The peer's side gets the same comments ready-made; reading them
        // from the WAV is work only ours does.
        std::ofstream comments(dir + "comments.txt");
        for (const auto& [key, values] : tags.fields)
            for (const std::string& value : values) comments << key << '=' << value << '\n';
        comments << "METADATA_BLOCK_PICTURE=" << Base64(PictureBlock(tags.pictures[0])) << '\n';
    }
    std::printf("source: 180 s 44.1 kHz stereo WAV, cover %.2f MB; %d runs, median\n\n",
                tags.pictures[0].data.size() / 1e6, runs);

    const std::string ours = "cd " + dir + " && " + convert + " --quiet --if-exists overwrite --target ogg src.wav";
    const std::string peer = "oggenc -Q -q 5 -o " + dir + "peer.ogg " + dir + "src.wav";
    const std::string peerTags = peer + " && vorbiscomment -w -c " + dir + "comments.txt " + dir + "peer.ogg";
    std::vector<Cost> oursTagged, oursBare, peerTagged, peerBare;
    for (int i = 0; i < runs; ++i) {
        oursTagged.push_back(Run(ours + " >/dev/null"));
        peerTagged.push_back(Run(peerTags));
        oursBare.push_back(Run(ours + " --no-tags >/dev/null"));
        peerBare.push_back(Run(peer));
    }
    const Cost a = Median(oursTagged), b = Median(oursBare), c = Median(peerTagged), d = Median(peerBare);
    Print("zelph-convert, tags copied", a);
    Print("zelph-convert --no-tags", b);
    Print("oggenc -q 5 + vorbiscomment", c);
    Print("oggenc -q 5", d);
    std::printf("\ntag overhead, ours:  cpu %+.2f %%   wall %+.2f %%   (target: at most 2 %%)\n",
                100 * (a.cpu / b.cpu - 1), 100 * (a.wall / b.wall - 1));
    std::printf("tag overhead, peer:  cpu %+.2f %%   wall %+.2f %%\n", 100 * (c.cpu / d.cpu - 1),
                100 * (c.wall / d.wall - 1));
    std::printf("ratio ours / peer, whole job with tags:  cpu %.3f   wall %.3f\n", a.cpu / c.cpu, a.wall / c.wall);
    std::filesystem::remove_all(dir);
    return 0;
}
