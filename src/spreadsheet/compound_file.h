#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The compound file container (version 3, 512-byte sectors) that holds an .xls workbook's "Workbook"
// stream.
namespace rw::sheet::cfb {

// The stream is padded with zeros to at least 4096 bytes so it never belongs in the mini stream. FAT and,
// for files over about 7 MB, DIFAT sectors follow the data and the directory.
std::vector<std::uint8_t> writeSingleStream(std::span<const std::uint8_t> stream, const std::u16string& name);
// The same, built in the stream's own buffer: with room for about singleStreamFileSize(stream.size())
// bytes reserved in it, no second copy of the stream is made.
std::vector<std::uint8_t> wrapSingleStream(std::vector<std::uint8_t> stream, const std::u16string& name);
std::size_t singleStreamFileSize(std::size_t streamBytes);

// Finds a stream by name (case-insensitive) and returns its bytes. Refuses malformed containers: bad
// header, sector numbers past the end, loops in sector chains, sizes larger than the file.
// `found` is false (and nothing is returned) when the container is sound but has no such stream.
std::vector<std::uint8_t> readStream(std::span<const std::uint8_t> file, const std::u16string& name,
                                     bool& found);

}  // namespace rw::sheet::cfb
