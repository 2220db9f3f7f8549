#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

// A whole regular file, mapped read-only into memory: its pages are read as they are used, and never copied.
namespace rw::sheet {

class MappedFile {
  public:
    // Fails (rw::Failure) for a missing file or anything that is not a regular file ("could not be found";
    // a pipe or device is never opened for reading, so nothing blocks), for a file larger than `maxSize`,
    // and when the file cannot be read.
    MappedFile(const std::filesystem::path& path, std::uintmax_t maxSize);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

  private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace rw::sheet
