#include "core/readback.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>

#include "codecs/reasons.h"
#include "core/targets.h"
#include "formats/bytereader.h"
#include "formats/mpafile.h"
#include "formats/readonlyfile.h"
#include "metadata/tags.h"

namespace zelph {

namespace {

// `count` bytes at `offset`, or nothing when the file holds fewer.
template <std::size_t N>
std::optional<std::array<uint8_t, N>> BytesAt(const ReadOnlyFile& file, uint64_t offset) {
    std::array<uint8_t, N> bytes{};
    const std::optional<std::size_t> got = file.ReadAt(offset, bytes.data(), N);
    if (!got || *got != N) return std::nullopt;
    return bytes;
}

bool Is(std::span<const uint8_t> bytes, std::string_view tag) {
    return bytes.size() >= tag.size() && std::equal(tag.begin(), tag.end(), bytes.begin());
}

}  // namespace

// Chunks from the form type on, each whole, the last allowed to lack its pad
// byte; the data chunk's size.
std::optional<uint64_t> RiffAudioExtent(const ReadOnlyFile& file) {
    const auto header = BytesAt<12>(file, 0);
    if (!header) return std::nullopt;
    if (Is(*header, "RF64")) return file.size();  // sizes live in a chunk of their own
    ByteReader riff(*header);
    if (!riff.Tag("RIFF")) return std::nullopt;
    const uint64_t stated = uint64_t{riff.U32()} + 8;
    if (stated != file.size() && stated + 1 != file.size() && stated != file.size() + 1) return std::nullopt;
    std::optional<uint64_t> data;
    uint64_t offset = 12;
    while (offset < file.size()) {
        const auto chunk = BytesAt<8>(file, offset);
        if (!chunk) return std::nullopt;
        ByteReader reader(*chunk);
        const bool isData = reader.Tag("data");
        const uint64_t size = reader.U32();
        if (isData) data = size;
        offset += 8 + size;
        if (offset > file.size()) return std::nullopt;
        if (offset < file.size()) offset += size & 1;
    }
    return data;
}

// Every page whole up to the end of the file, the last one closing the
// stream; its granule position.
std::optional<uint64_t> OggAudioExtent(const ReadOnlyFile& file) {
    uint64_t offset = 0;
    std::optional<uint64_t> granule;
    bool ended = false;
    while (offset < file.size()) {
        const auto header = BytesAt<27>(file, offset);
        if (!header || !Is(*header, "OggS")) return std::nullopt;
        ByteReader reader(*header);
        reader.Skip(5);
        ended = (reader.U8() & 0x04) != 0;
        granule = reader.U64();
        const uint8_t segments = (*header)[26];
        std::array<uint8_t, 255> lacing{};
        const std::optional<std::size_t> got = file.ReadAt(offset + 27, lacing.data(), segments);
        if (!got || *got != segments) return std::nullopt;
        uint64_t body = 0;
        for (std::size_t i = 0; i < segments; ++i) body += lacing[i];
        offset += 27 + segments + body;
    }
    if (offset != file.size() || !ended) return std::nullopt;
    return granule;
}

// The bytes between a leading ID3v2 tag and the trailing APEv2 and ID3v1
// tags, each of which must fit in the file.
std::optional<uint64_t> AudioBetweenTags(const ReadOnlyFile& file) {
    uint64_t begin = 0;
    if (const auto header = BytesAt<kId3HeaderSize>(file, 0))
        if (const std::optional<uint64_t> length = Id3v2TagLength(*header)) begin = *length;
    uint64_t end = file.size();
    if (const auto v1 = end >= 128 ? BytesAt<3>(file, end - 128) : std::nullopt; v1 && Is(*v1, "TAG")) end -= 128;
    if (const auto footer = end >= 32 ? BytesAt<32>(file, end - 32) : std::nullopt; footer && Is(*footer, "APETAGEX")) {
        ByteReader reader(*footer);
        reader.Skip(12);
        const uint64_t size = reader.U32();
        const uint32_t flags = (reader.U32(), reader.U32());
        const uint64_t whole = size + ((flags & 0x80000000u) ? 32 : 0);
        if (whole > end) return std::nullopt;
        end -= whole;
    }
    if (begin >= end) return std::nullopt;
    return end - begin;
}

bool OutOfRoom(const std::string& path) {
    struct stat info;
    struct rlimit limit;
    if (::stat(path.c_str(), &info) == 0 && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(info.st_size) >= limit.rlim_cur)
        return true;
    struct statvfs disk;
    return ::statvfs(path.c_str(), &disk) == 0 && uint64_t{disk.f_bavail} * disk.f_frsize < (uint64_t{4} << 20);
}

std::string WhyIncomplete(const std::string& path) {
    return OutOfRoom(path) ? WriteProblem(ENOSPC) : "cannot write: the output read back incomplete";
}

std::optional<uint64_t> AudioExtentOf(const std::string& path) {
    const ReadOnlyFile file(path);
    if (!file.isOpen()) return std::nullopt;
    const TargetRow* row = FindTargetByOutput(path);
    if (!row) return std::nullopt;
    return row->audioExtent(file);
}

std::string ReadBack(const std::string& path, const ExpectedOutput& expected) {
    if (AudioExtentOf(path) != expected.audio) return WhyIncomplete(path);
    if (expected.fields.empty() && expected.pictures.empty()) return "";
    const TagReadResult read = ReadTags(path, *FindTargetByOutput(path)->tags);
    const bool whole =
        read.error.empty() &&
        std::all_of(expected.fields.begin(), expected.fields.end(),
                    [&](const std::string& field) { return read.tags.fields.contains(field); }) &&
        std::all_of(expected.pictures.begin(), expected.pictures.end(), [&](const std::string& bytes) {
            return std::any_of(read.tags.pictures.begin(), read.tags.pictures.end(),
                               [&](const TagPicture& picture) { return picture.data == bytes; });
        });
    return whole ? "" : WhyIncomplete(path);
}

}  // namespace zelph
