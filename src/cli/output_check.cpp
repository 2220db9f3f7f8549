#include "cli/output_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/native_names.h"
#include "platform/safe_file.h"

namespace rw::cli {

namespace {

namespace fs = std::filesystem;

QString shown(const fs::path& path) {
    return argumentFromBytes(path.native());
}

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<QString> folderProblem(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return QStringLiteral("the folder %1 does not exist").arg(shown(folder));
        }
        if (errno == ENOTDIR) {
            return QStringLiteral("%1 is not a folder").arg(shown(folder));
        }
        return QStringLiteral("the folder %1 cannot be reached: %2").arg(shown(folder), systemText(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        return QStringLiteral("%1 is not a folder").arg(shown(folder));
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return QStringLiteral("the folder %1 is not writable").arg(shown(folder));
    }
    return std::nullopt;
}

// The absolute form of a name with links in it followed as far as they lead.
fs::path resolved(const std::string& name) {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(name), error);
    if (error) {
        absolute = fs::path(name);
    }
    fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

}  // namespace

std::optional<QString> outputProblem(const std::string& name) {
    const fs::path path(name);
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            return systemText(errno);
        }
        // Nothing there yet: the folder must take a new file.
        return folderProblem(resolved(name).parent_path());
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) {
        if (errno == ENOENT && S_ISLNK(link.st_mode)) {
            std::error_code error;
            return QStringLiteral("it is a link to %1, which does not exist")
                .arg(shown(fs::read_symlink(path, error)));
        }
        return systemText(errno);
    }
    if (!S_ISREG(target.st_mode)) {
        return QString::fromStdString("it is " + safefile::kindOf(target.st_mode));
    }
    // A file no one may write is read-only even to the administrator, who could replace it anyway.
    if (::access(path.c_str(), W_OK) != 0 || (target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return QStringLiteral("the file is read-only");
    }
    std::error_code error;
    const fs::path final = fs::canonical(path, error);
    return folderProblem(error ? resolved(name).parent_path() : final.parent_path());
}

bool sameTarget(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::equivalent(fs::path(a), fs::path(b), error) && !error) {
        return true;
    }
    return resolved(a) == resolved(b);
}

}  // namespace rw::cli
