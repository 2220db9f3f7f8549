#pragma once

#include <string>

// The one rule for where the program keeps temporary files (the window's temporary workbook, the .xlsx
// export's scratch files): the environment variable "temp" when it is set and not empty, else the system's
// temporary folder (TMPDIR when set and not empty, else /tmp). Plain C++, no Qt.
namespace rw::tempfolder {

struct Choice {
    std::string folder;    // as the variable gives it, without trailing separators ("/" stays "/")
    std::string variable;  // "temp", "TMPDIR", or empty for the built-in /tmp
};

// Where temporary files go now, by the rule above.
Choice chosen();

// Why no file can be made in `folder` ("does not exist", "is not a folder", "cannot be written: Permission
// denied", ...), or an empty text when the folder exists and takes new files.
std::string problem(const std::string& folder);

// "The temporary folder "<folder>" <problem> (it comes from the environment variable <variable>)." or, for
// the built-in folder, "(it is the system's default)".
std::string message(const Choice& choice, const std::string& problem);

// The chosen folder when it is usable; else throws rw::Failure with message().
std::string usable();

}  // namespace rw::tempfolder
