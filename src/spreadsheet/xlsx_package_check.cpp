#include "spreadsheet/xlsx_package_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/failure.h"

namespace rw::sheet {

namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEdge = 256;  // bytes kept of the start and the end of each part

[[noreturn]] void broken(const std::string& why) {
    throw Failure("The .xlsx file came out incomplete (" + why +
                  "); is the disk or the temporary folder full?");
}

std::uint32_t le(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
    if (at + static_cast<std::size_t>(bytes) > b.size()) {
        broken("a record runs past the end of the file");
    }
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    }
    return v;
}

// The start and the end of one part's contents (inflated when compressed), and its whole length.
struct PartEdges {
    std::string head;
    std::string tail;
    std::uint64_t length = 0;
};

void keep(PartEdges& part, const unsigned char* data, std::size_t n) {
    if (part.head.size() < kEdge) {
        part.head.append(reinterpret_cast<const char*>(data), std::min(n, kEdge - part.head.size()));
    }
    part.tail.append(reinterpret_cast<const char*>(data), n);
    if (part.tail.size() > kEdge) {
        part.tail.erase(0, part.tail.size() - kEdge);
    }
    part.length += n;
}

PartEdges readPart(const std::vector<unsigned char>& file, std::size_t offset, std::uint32_t method,
                   std::uint32_t compressedSize, const std::string& name) {
    if (le(file, offset, 4) != kLocalHeader) {
        broken("no header for " + name);
    }
    const std::size_t start = offset + 30 + le(file, offset + 26, 2) + le(file, offset + 28, 2);
    if (start + compressedSize > file.size()) {
        broken(name + " runs past the end of the file");
    }
    PartEdges part;
    if (method == 0) {
        keep(part, file.data() + start, compressedSize);
        return part;
    }
    if (method != 8) {
        broken(name + " is stored in a way this check does not know");
    }
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        broken("cannot inflate " + name);
    }
    z.next_in = const_cast<unsigned char*>(file.data() + start);
    z.avail_in = compressedSize;
    unsigned char out[64 * 1024];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = out;
        z.avail_out = sizeof out;
        status = inflate(&z, Z_NO_FLUSH);
        keep(part, out, sizeof out - z.avail_out);
        if (status == Z_BUF_ERROR && z.avail_in == 0) {
            break;
        }
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) {
        broken(name + " is cut off");
    }
    return part;
}

// The name of the first element of an XML text, after the declaration.
std::string rootElement(const std::string& head) {
    std::size_t at = 0;
    if (head.compare(0, 5, "<?xml") == 0) {
        at = head.find("?>");
        at = at == std::string::npos ? head.size() : at + 2;
    }
    at = head.find('<', at);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t end = head.find_first_of(" \t\r\n/>", at + 1);
    return end == std::string::npos ? std::string() : head.substr(at + 1, end - at - 1);
}

}  // namespace

std::vector<std::uint8_t> readBackXlsx(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in.is_open()) {
        broken("it cannot be read back");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in || in.peek() != std::ifstream::traits_type::eof()) {
        broken("it cannot be read back");
    }
    return bytes;
}

void checkXlsxPackage(const std::filesystem::path& file, std::size_t expectedWorksheets) {
    const std::vector<std::uint8_t> bytes = readBackXlsx(file);
    if (bytes.size() < 22) {
        broken("it is too short");
    }
    std::size_t end = bytes.size() - 22;
    while (le(bytes, end, 4) != kEndOfDirectory) {
        if (end == 0 || bytes.size() - end > 22 + 65535) {
            broken("no directory at its end");
        }
        --end;
    }
    const std::uint32_t entries = le(bytes, end + 10, 2);
    std::size_t at = le(bytes, end + 16, 4);
    std::size_t worksheets = 0;
    bool workbook = false;
    for (std::uint32_t i = 0; i < entries; ++i) {
        if (le(bytes, at, 4) != kDirectoryEntry) {
            broken("a broken directory");
        }
        const std::uint32_t method = le(bytes, at + 10, 2);
        const std::uint32_t compressed = le(bytes, at + 20, 4);
        const std::uint32_t length = le(bytes, at + 24, 4);
        const std::uint32_t nameLength = le(bytes, at + 28, 2);
        const std::size_t next = at + 46 + nameLength + le(bytes, at + 30, 2) + le(bytes, at + 32, 2);
        if (at + 46 + nameLength > bytes.size()) {
            broken("a broken directory");
        }
        const std::string name(reinterpret_cast<const char*>(bytes.data() + at + 46), nameLength);
        const PartEdges part = readPart(bytes, le(bytes, at + 42, 4), method, compressed, name);
        if (part.length != length) {
            broken(name + " has the wrong length");
        }
        const std::string root = rootElement(part.head);
        std::string tail = part.tail;
        while (!tail.empty() && std::strchr(" \t\r\n", tail.back()) != nullptr) {
            tail.pop_back();
        }
        const std::string closing = "</" + root + ">";
        if (root.empty() || tail.size() < closing.size() ||
            tail.compare(tail.size() - closing.size(), closing.size(), closing) != 0) {
            broken(name + " is cut off");
        }
        worksheets += name.starts_with("xl/worksheets/sheet") ? 1 : 0;
        workbook = workbook || name == "xl/workbook.xml";
        at = next;
    }
    if (!workbook || worksheets != expectedWorksheets) {
        broken("parts are missing");
    }
}

}  // namespace rw::sheet
