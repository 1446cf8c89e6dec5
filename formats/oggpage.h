#pragma once
// The start of the first packet of an Ogg file: the probes of the formats
// that Ogg carries read their identification header from there.

#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/readonlyfile.h"

namespace zelph {

// Fills `packet` with up to its size of bytes from the first packet of the
// page at offset 0 (after its segment table); returns the count read, 0 when
// the file does not start with an Ogg page.
std::size_t ReadFirstOggPacket(const ReadOnlyFile& file, std::span<uint8_t> packet);

}  // namespace zelph
