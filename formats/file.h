#pragma once
// An exclusively held file: the one way the converter opens the files it
// reads and writes. Every operation reports whether it did all it was asked,
// so a short read or a failed write can never pass unnoticed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zelph {

class File {
public:
    // An existing file, for reading. Fails when it is missing, unreadable or
    // held (locked) by another open.
    static File OpenRead(const std::string& path);
    // Creates the file or empties an existing one, for reading and writing.
    // Fails when the folder is not writable or another open holds the file;
    // a held file is left untouched.
    static File Create(const std::string& path);

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    // True only when exactly `count` bytes were read.
    bool ReadExact(void* out, std::size_t count);
    // Reads until `count` bytes or the end of the file; the number read, or
    // nothing on an I/O error.
    std::optional<std::size_t> ReadUpTo(void* out, std::size_t count);
    // True only when all `count` bytes were written.
    bool WriteAll(const void* bytes, std::size_t count);

    bool Seek(uint64_t offset);
    std::optional<uint64_t> Position() const;
    std::optional<uint64_t> Size() const;

    // Releases the file; false when the system reports a failure (such as
    // data that could not be written out). A closed File is not open.
    bool Close();

private:
    explicit File(int fd) : fd_(fd) {}
    static File Lock(int fd);

    int fd_ = -1;
};

}  // namespace zelph
