#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// A whole regular file, read into memory. It is read rather than mapped: a file that another program
// shortens while it is open then reads as shorter (and is refused as damaged), where a mapping would end
// the process.
namespace rw::sheet {

// Fails (rw::Failure) for a missing file or anything that is not a regular file ("could not be found";
// a pipe or device is never opened for reading, so nothing blocks), for a file larger than `maxSize`,
// and when the file cannot be read.
std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path, std::uintmax_t maxSize);

}  // namespace rw::sheet
