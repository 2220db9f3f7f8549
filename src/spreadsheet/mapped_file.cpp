#include "spreadsheet/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/failure.h"

namespace rw::sheet {

MappedFile::MappedFile(const std::filesystem::path& path, std::uintmax_t maxSize) {
    const std::string name = path.string();
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const int openError = errno;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
        } else if (openError != ENOENT && openError != ENOTDIR) {
            throw Failure("Cannot read \"" + name + "\": " + std::generic_category().message(openError));
        }
        throw Failure("'" + name + "' could not be found. Check the spelling of the file name.");
    }
    const auto size = static_cast<std::uintmax_t>(st.st_size);
    if (size > maxSize) {
        ::close(fd);
        throw Failure("The file \"" + name + "\" is too large to open: " + std::to_string(size >> 20) +
                      " MB, and workbooks of up to " + std::to_string(maxSize >> 20) + " MB are read");
    }
    if (size == 0) {
        ::close(fd);
        return;
    }
    void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    const int mapError = errno;
    ::close(fd);
    if (map == MAP_FAILED) {
        throw Failure("Cannot read \"" + name + "\": " + std::generic_category().message(mapError));
    }
    data_ = static_cast<const std::uint8_t*>(map);
    size_ = static_cast<std::size_t>(size);
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) {
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
}

}  // namespace rw::sheet
