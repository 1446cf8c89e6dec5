#include "formats/m4aform.h"

#include <array>

#include "formats/bytereader.h"
#include "formats/readonlyfile.h"

namespace zelph {

std::optional<uint64_t> M4aAudioExtent(const ReadOnlyFile& file) {
    uint64_t audio = 0;
    bool movie = false;
    for (uint64_t offset = 0; offset < file.size();) {
        std::array<uint8_t, 16> head{};
        const std::size_t got = file.ReadAt(offset, head.data(), head.size()).value_or(0);
        if (got < 8) return std::nullopt;
        ByteReader reader(head);
        uint64_t size = reader.BE32();
        const bool isAudio = reader.Tag("mdat");
        reader = ByteReader(std::span(head).subspan(4));
        movie = movie || reader.Tag("moov");
        uint64_t header = 8;
        if (size == 1) {  // a 64-bit size follows the type
            if (got < 16) return std::nullopt;
            reader = ByteReader(std::span(head).subspan(8));
            size = uint64_t{reader.BE32()} << 32;
            size |= reader.BE32();
            header = 16;
        } else if (size == 0) {  // the box runs to the end of the file
            size = file.size() - offset;
        }
        if (size < header || size > file.size() - offset) return std::nullopt;
        if (isAudio) audio += size - header;
        offset += size;
    }
    if (!movie) return std::nullopt;
    return audio;
}

}  // namespace zelph
