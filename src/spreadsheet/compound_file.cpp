#include "spreadsheet/compound_file.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/failure.h"
#include "spreadsheet/byte_io.h"

namespace rw::sheet::cfb {

namespace {

constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr std::size_t kSector = 512;
constexpr std::size_t kMiniCutoff = 4096;
constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

[[noreturn]] void damaged(const std::string& what) {
    throw Failure("The file is damaged: " + what);
}

void putDirEntry(std::vector<std::uint8_t>& out, const std::u16string& name, std::uint8_t type,
                 std::uint32_t child, std::uint32_t start, std::uint32_t size) {
    const std::size_t base = out.size();
    out.resize(base + 128, 0);
    for (std::size_t i = 0; i < name.size() && i < 31; ++i) {
        bytes::set16(out, base + 2 * i, name[i]);
    }
    bytes::set16(out, base + 0x40, name.empty() ? 0 : static_cast<std::uint32_t>((name.size() + 1) * 2));
    out[base + 0x42] = type;
    out[base + 0x43] = 1;  // black
    bytes::set32(out, base + 0x44, kFree);
    bytes::set32(out, base + 0x48, kFree);
    bytes::set32(out, base + 0x4C, child);
    bytes::set32(out, base + 0x74, start);
    bytes::set32(out, base + 0x78, size);
}

char16_t upper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

}  // namespace

std::vector<std::uint8_t> writeSingleStream(std::span<const std::uint8_t> stream,
                                            const std::u16string& name) {
    return wrapSingleStream(std::vector<std::uint8_t>(stream.begin(), stream.end()), name);
}

std::size_t singleStreamFileSize(std::size_t streamBytes) {
    const std::size_t data = (std::max(streamBytes, kMiniCutoff) + kSector - 1) / kSector;
    const std::size_t fat = (data + 2 + 127) / 128 + 1;  // a little more than needed: an estimate
    return kSector * (1 + data + 1 + fat + (fat > 109 ? (fat - 109) / 127 + 1 : 0));
}

std::vector<std::uint8_t> wrapSingleStream(std::vector<std::uint8_t> stream, const std::u16string& name) {
    const std::size_t streamBytes = stream.size();
    const std::size_t streamSize = std::max(streamBytes, kMiniCutoff);
    if (streamSize > 0x7FFFFFFF) {
        throw Failure("The workbook is too large to save");
    }
    const std::size_t data = (streamSize + kSector - 1) / kSector;
    const std::size_t dir = 1;
    std::size_t fat = 1, difat = 0;
    for (;;) {
        const std::size_t total = data + dir + fat + difat;
        const std::size_t newFat = (total + 127) / 128;
        const std::size_t newDifat = newFat <= 109 ? 0 : (newFat - 109 + 126) / 127;
        if (newFat == fat && newDifat == difat) {
            break;
        }
        fat = newFat;
        difat = newDifat;
    }
    const std::size_t dirSector = data;
    const std::size_t firstFat = data + dir;
    const std::size_t firstDifat = firstFat + fat;
    const std::size_t sectors = firstDifat + difat;

    // The stream moves up to make room for the header, in its own buffer (which needs no more than a
    // little room to spare); the directory and the allocation tables follow it.
    std::vector<std::uint8_t> out = std::move(stream);
    out.reserve((sectors + 1) * kSector);
    out.resize(kSector + data * kSector, 0);
    std::memmove(out.data() + kSector, out.data(), streamBytes);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(kSector + streamBytes), out.end(), 0);
    std::vector<std::uint8_t> header;
    header.reserve(kSector);
    // Header.
    header.insert(header.end(), std::begin(kSignature), std::end(kSignature));
    header.resize(0x18, 0);
    bytes::put16(header, 0x003E);
    bytes::put16(header, 0x0003);
    bytes::put16(header, 0xFFFE);
    bytes::put16(header, 9);
    bytes::put16(header, 6);
    header.resize(0x28, 0);
    bytes::put32(header, 0);
    bytes::put32(header, static_cast<std::uint32_t>(fat));
    bytes::put32(header, static_cast<std::uint32_t>(dirSector));
    bytes::put32(header, 0);
    bytes::put32(header, kMiniCutoff);
    bytes::put32(header, kEndOfChain);
    bytes::put32(header, 0);
    bytes::put32(header, difat ? static_cast<std::uint32_t>(firstDifat) : kEndOfChain);
    bytes::put32(header, static_cast<std::uint32_t>(difat));
    for (std::size_t i = 0; i < 109; ++i) {
        bytes::put32(header, i < fat ? static_cast<std::uint32_t>(firstFat + i) : kFree);
    }
    std::copy(header.begin(), header.end(), out.begin());
    // Directory: root, the stream, two unused entries.
    putDirEntry(out, u"Root Entry", 5, 1, kEndOfChain, 0);
    putDirEntry(out, name, 2, kFree, 0, static_cast<std::uint32_t>(streamSize));
    for (int i = 0; i < 2; ++i) {
        putDirEntry(out, u"", 0, kFree, 0, 0);
    }
    // FAT.
    for (std::size_t i = 0; i < fat * 128; ++i) {
        std::uint32_t v = kFree;
        if (i < data) {
            v = i + 1 < data ? static_cast<std::uint32_t>(i + 1) : kEndOfChain;
        } else if (i == dirSector) {
            v = kEndOfChain;
        } else if (i >= firstFat && i < firstDifat) {
            v = kFatSect;
        } else if (i >= firstDifat && i < sectors) {
            v = kDifSect;
        }
        bytes::put32(out, v);
    }
    // DIFAT sectors: 127 FAT sector numbers each, then the next DIFAT sector.
    for (std::size_t d = 0; d < difat; ++d) {
        for (std::size_t k = 0; k < 127; ++k) {
            const std::size_t idx = 109 + d * 127 + k;
            bytes::put32(out, idx < fat ? static_cast<std::uint32_t>(firstFat + idx) : kFree);
        }
        bytes::put32(out, d + 1 < difat ? static_cast<std::uint32_t>(firstDifat + d + 1) : kEndOfChain);
    }
    return out;
}

namespace {

class Container {
  public:
    explicit Container(std::span<const std::uint8_t> file) : file_(file) {
        if (file.size() < 512 || !std::equal(std::begin(kSignature), std::end(kSignature), file.begin())) {
            throw Failure("The file is not an Excel 97-2003 workbook (no compound file signature)");
        }
        bytes::Reader h(file.first(512), "the file header");
        h.seek(0x1A);
        const std::uint16_t major = h.u16();
        const std::uint16_t order = h.u16();
        const std::uint16_t shift = h.u16();
        const std::uint16_t miniShift = h.u16();
        if (order != 0xFFFE || !((major == 3 && shift == 9) || (major == 4 && shift == 12)) ||
            miniShift != 6) {
            damaged("unsupported compound file header");
        }
        sector_ = std::size_t{1} << shift;
        if (file.size() < sector_) {
            damaged("the header is cut short");
        }
        sectorCount_ = (file.size() - sector_ + sector_ - 1) / sector_;
        h.seek(0x2C);
        const std::uint32_t fatCount = h.u32();
        dirStart_ = h.u32();
        h.u32();
        miniCutoff_ = h.u32();
        miniFatStart_ = h.u32();
        const std::uint32_t miniFatCount = h.u32();
        std::uint32_t difatNext = h.u32();
        const std::uint32_t difatCount = h.u32();
        if (fatCount > sectorCount_ || difatCount > sectorCount_ || miniFatCount > sectorCount_) {
            damaged("absurd sector counts in the header");
        }
        std::vector<std::uint32_t> fatSectors;
        for (std::uint32_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i) {
            fatSectors.push_back(h.u32());
        }
        std::vector<bool> seenDifat(sectorCount_, false);
        for (std::uint32_t d = 0; d < difatCount && fatSectors.size() < fatCount; ++d) {
            if (difatNext >= sectorCount_ || seenDifat[difatNext]) {
                damaged("a broken DIFAT chain");
            }
            seenDifat[difatNext] = true;
            bytes::Reader r(sectorData(difatNext), "a DIFAT sector");
            const std::size_t per = sector_ / 4 - 1;
            for (std::size_t k = 0; k < per && fatSectors.size() < fatCount; ++k) {
                fatSectors.push_back(r.u32());
            }
            r.seek(per * 4);
            difatNext = r.u32();
        }
        if (fatSectors.size() < fatCount) {
            damaged("FAT sectors are missing");
        }
        fat_.reserve(fatCount * (sector_ / 4));
        for (std::uint32_t s : fatSectors) {
            if (s >= sectorCount_) {
                damaged("a FAT sector lies past the end of the file");
            }
            bytes::Reader r(sectorData(s), "a FAT sector");
            for (std::size_t k = 0; k < sector_ / 4; ++k) {
                fat_.push_back(r.u32());
            }
        }
    }

    std::vector<std::uint8_t> find(const std::u16string& name, bool& found) {
        const std::vector<std::uint8_t> dir = chain(dirStart_, std::nullopt, fat_, sector_, nullptr);
        found = false;
        std::uint32_t rootStart = kEndOfChain;
        std::uint64_t rootSize = 0;
        for (std::size_t off = 0; off + 128 <= dir.size(); off += 128) {
            bytes::Reader e(std::span<const std::uint8_t>(dir).subspan(off, 128), "a directory entry");
            e.seek(0x40);
            const std::uint16_t nameBytes = e.u16();
            const std::uint8_t type = e.u8();
            e.seek(0x74);
            const std::uint32_t start = e.u32();
            const std::uint64_t size = e.u32() | (sector_ == 512 ? 0 : std::uint64_t{e.u32()} << 32);
            if (type == 5) {
                rootStart = start;
                rootSize = size;
                continue;
            }
            if (type != 2 || nameBytes < 2 || nameBytes > 64 || nameBytes % 2) {
                continue;
            }
            std::u16string entryName;
            e.seek(0);
            for (std::size_t i = 0; i + 1 < nameBytes / 2u; ++i) {
                entryName.push_back(static_cast<char16_t>(e.u16()));
            }
            if (entryName.size() != name.size() ||
                !std::equal(entryName.begin(), entryName.end(), name.begin(),
                            [](char16_t a, char16_t b) { return upper(a) == upper(b); })) {
                continue;
            }
            if (size > file_.size()) {
                damaged("a stream is larger than the file");
            }
            found = true;
            if (size >= miniCutoff_) {
                return chain(start, size, fat_, sector_, nullptr);
            }
            // A small stream lives in the mini stream, which the root entry's chain holds.
            const std::vector<std::uint8_t> miniFatBytes =
                chain(miniFatStart_, std::nullopt, fat_, sector_, nullptr);
            std::vector<std::uint32_t> miniFat(miniFatBytes.size() / 4);
            for (std::size_t i = 0; i < miniFat.size(); ++i) {
                miniFat[i] = miniFatBytes[4 * i] | (miniFatBytes[4 * i + 1] << 8) |
                             (miniFatBytes[4 * i + 2] << 16) | (std::uint32_t{miniFatBytes[4 * i + 3]} << 24);
            }
            if (rootSize > file_.size()) {
                damaged("the mini stream is larger than the file");
            }
            const std::vector<std::uint8_t> mini = chain(rootStart, rootSize, fat_, sector_, nullptr);
            return chain(start, size, miniFat, 64, &mini);
        }
        return {};
    }

  private:
    std::span<const std::uint8_t> sectorData(std::size_t s) const {
        const std::size_t off = (s + 1) * sector_;
        if (off >= file_.size()) {
            damaged("a sector lies past the end of the file");
        }
        const std::size_t n = std::min(sector_, file_.size() - off);
        if (n < sector_) {
            // The last sector may be cut short; its missing tail reads as zeros.
            tail_.assign(file_.begin() + static_cast<std::ptrdiff_t>(off), file_.end());
            tail_.resize(sector_, 0);
            return tail_;
        }
        return file_.subspan(off, sector_);
    }

    // Follows a chain through `table`; the units are whole sectors of the file or, with `mini`, mini
    // sectors of the mini stream. Reads `size` bytes, or the whole chain when no size is given.
    std::vector<std::uint8_t> chain(std::uint32_t start, std::optional<std::uint64_t> size,
                                    const std::vector<std::uint32_t>& table, std::size_t unit,
                                    const std::vector<std::uint8_t>* mini) const {
        std::vector<std::uint8_t> out;
        const std::size_t units = mini ? mini->size() / unit : sectorCount_;
        if (size) {
            out.reserve(
                static_cast<std::size_t>(std::min<std::uint64_t>(*size, std::uint64_t{units} * unit)));
        }
        std::vector<bool> seen(units, false);
        std::uint32_t s = start;
        while (!size || out.size() < *size) {
            if (s == kEndOfChain && !size) {
                break;
            }
            if (s > kMaxRegSect || s >= units || s >= table.size()) {
                damaged(s == kEndOfChain ? "a stream is shorter than its stated size"
                                         : "a broken sector chain");
            }
            if (seen[s]) {
                damaged("a loop in a sector chain");
            }
            seen[s] = true;
            if (mini) {
                out.insert(out.end(), mini->begin() + static_cast<std::ptrdiff_t>(s * unit),
                           mini->begin() + static_cast<std::ptrdiff_t>((s + 1) * unit));
            } else {
                auto d = sectorData(s);
                out.insert(out.end(), d.begin(), d.end());
            }
            s = table[s];
        }
        if (size) {
            out.resize(static_cast<std::size_t>(*size));
        }
        return out;
    }

    std::span<const std::uint8_t> file_;
    std::size_t sector_ = 512;
    std::size_t sectorCount_ = 0;
    std::uint32_t dirStart_ = kEndOfChain;
    std::uint32_t miniCutoff_ = 4096;
    std::uint32_t miniFatStart_ = kEndOfChain;
    std::vector<std::uint32_t> fat_;
    mutable std::vector<std::uint8_t> tail_;
};

}  // namespace

std::vector<std::uint8_t> readStream(std::span<const std::uint8_t> file, const std::u16string& name,
                                     bool& found) {
    Container c(file);
    return c.find(name, found);
}

}  // namespace rw::sheet::cfb
