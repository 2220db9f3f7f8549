#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "family/family.h"

namespace rw::family {

// The whole file is read into memory first: a file that changes or shrinks while it is read can give odd
// content (warnings) but never a fault.
FamilyFile readFamilyFile(const std::filesystem::path& path, const Progress& progress) {
    const std::string name = path.filename().string();
    auto fail = [&](const std::string& why) -> ReadError {
        return ReadError("Cannot read the family file " + name + ": " + why + ".");
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw fail("it is a folder");
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!f)
        throw fail(std::strerror(errno));
    std::string bytes;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > 0) {
        // Straight into the string; a file that shrinks meanwhile just gives fewer bytes.
        bytes.resize(static_cast<std::size_t>(size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f.get()));
    }
    char buffer[1 << 16];
    for (;;) {  // whatever is (still, or newly) there beyond the size seen
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
        bytes.append(buffer, n);
        if (n < sizeof buffer) {
            if (std::ferror(f.get()))
                throw fail(std::strerror(errno));
            break;
        }
    }
    f.reset();
    try {
        return readFamilyBytes(bytes, progress);
    } catch (const Cancelled&) {
        throw;
    } catch (const ReadError&) {
        throw ReadError("The family file " + name + " holds no person.");
    }
}

}  // namespace rw::family
