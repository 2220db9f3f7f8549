#include "platform/temp_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/failure.h"

namespace rw::tempfolder {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

Choice chosen() {
    Choice choice{variable("temp"), "temp"};
    if (choice.folder.empty()) {
        choice = {variable("TMPDIR"), "TMPDIR"};
    }
    if (choice.folder.empty()) {
        choice = {"/tmp", ""};
    }
    while (choice.folder.size() > 1 && choice.folder.back() == '/') {
        choice.folder.pop_back();
    }
    return choice;
}

std::string problem(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        const int error = errno;
        return error == ENOENT ? std::string("does not exist")
                               : std::string("cannot be reached: ") + std::strerror(error);
    }
    if (!S_ISDIR(st.st_mode)) {
        return "is not a folder";
    }
    // Making a file needs both: writing the folder and passing through it.
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return std::string("cannot be written: ") + std::strerror(errno);
    }
    return {};
}

std::string message(const Choice& choice, const std::string& problem) {
    const std::string source = choice.variable.empty()
                                   ? std::string("it is the system's default")
                                   : "it comes from the environment variable " + choice.variable;
    return "The temporary folder \"" + choice.folder + "\" " + problem + " (" + source + ").";
}

std::string usable() {
    const Choice choice = chosen();
    const std::string found = problem(choice.folder);
    if (!found.empty()) {
        throw Failure(message(choice, found));
    }
    return choice.folder;
}

}  // namespace rw::tempfolder
