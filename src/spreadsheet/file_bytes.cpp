#include "spreadsheet/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/failure.h"

namespace rw::sheet {

namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path, std::uintmax_t maxSize) {
    const std::string name = path.string();
    const FileDescriptor fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const int openError = errno;
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd.get() < 0 && openError != ENOENT && openError != ENOTDIR) {
            throw Failure("Cannot read \"" + name + "\": " + std::generic_category().message(openError));
        }
        throw Failure("'" + name + "' could not be found. Check the spelling of the file name.");
    }
    const auto size = static_cast<std::uintmax_t>(st.st_size);
    if (size > maxSize) {
        throw Failure("The file \"" + name + "\" is too large to open: " + std::to_string(size >> 20) +
                      " MB, and workbooks of up to " + std::to_string(maxSize >> 20) + " MB are read");
    }
    // The size is what the file had when it was opened. Should it shrink meanwhile, fewer bytes are read
    // (and the workbook found damaged); what it gains meanwhile is not read.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + have, bytes.size() - have);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Failure("Cannot read \"" + name + "\": " + std::generic_category().message(errno));
        }
        have += static_cast<std::size_t>(got);
    }
    bytes.resize(have);
    return bytes;
}

}  // namespace rw::sheet
