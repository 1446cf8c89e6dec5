#pragma once
// Random-access bytes to decode from: a file opened by path, or memory.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace zelph::ape {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Fills `out` from `offset`; false if the bytes are not all there.
    virtual bool Read(uint64_t offset, std::span<uint8_t> out) = 0;
};

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);
std::unique_ptr<ByteSource> MemorySource(std::span<const uint8_t> bytes);

}  // namespace zelph::ape
