#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "family/decode.h"
#include "family/family.h"

namespace rw::family {

// The file is read (never mapped) piece by piece: a file that changes or shrinks while it is read can give
// odd content (warnings) but never a fault.
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
    const auto size = std::filesystem::file_size(path, ec);
    try {
        return detail::readFamilyStream(f.get(), ec ? 0 : size, progress);
    } catch (const Cancelled&) {
        throw;
    } catch (const ReadError& e) {
        if (e.description() == "The file holds no person.")
            throw ReadError("The family file " + name + " holds no person.");
        throw fail(e.description());
    }
}

}  // namespace rw::family
