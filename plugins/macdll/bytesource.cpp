#include "plugins/macdll/bytesource.h"

#include <cstring>

namespace zelph::ape {
namespace {

class FileSource : public ByteSource {
public:
    FileSource(std::FILE* f, uint64_t size) : file_(f), size_(size) {}
    ~FileSource() override { std::fclose(file_); }
    uint64_t size() const override { return size_; }
    bool Read(uint64_t offset, std::span<uint8_t> out) override {
        if (offset > size_ || out.size() > size_ - offset) return false;
        if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
        return std::fread(out.data(), 1, out.size(), file_) == out.size();
    }

private:
    std::FILE* file_;
    uint64_t size_;
};

class Memory : public ByteSource {
public:
    explicit Memory(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t size() const override { return bytes_.size(); }
    bool Read(uint64_t offset, std::span<uint8_t> out) override {
        if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
        if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    if (fseeko(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return nullptr;
    }
    const off_t size = ftello(f);
    if (size < 0) {
        std::fclose(f);
        return nullptr;
    }
    return std::make_unique<FileSource>(f, static_cast<uint64_t>(size));
}

std::unique_ptr<ByteSource> MemorySource(std::span<const uint8_t> bytes) { return std::make_unique<Memory>(bytes); }

}  // namespace zelph::ape
