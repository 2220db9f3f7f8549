#pragma once

#include "cli/formats.h"

// The whole run of rootweave-chart from its command line: what both of its programs' main() do.
namespace rw::cli {

// Whether the command line asks for a picture or printed pages. When in doubt (an argument that only looks
// like --picture or --print), it does.
bool drawsPictures(int argc, char** argv);

// Whether the run needs more formats than .xls: it draws, or an argument (the output, as far as anyone can
// tell before the command line is read) ends in .xlsx.
bool needsFormats(int argc, char** argv);

// Runs the tool on the process's own command line and returns its exit status. `formats` makes .xlsx
// workbooks, pictures and pages; without them, a run that asks for them is refused.
int runToolMain(int argc, char** argv, const Formats* formats);

}  // namespace rw::cli
