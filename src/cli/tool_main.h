#pragma once

#include "cli/drawing.h"

// The whole run of rootweave-chart from its command line: what both of its programs' main() do.
namespace rw::cli {

// Whether the command line asks for a picture or printed pages. When in doubt (an argument that only looks
// like --picture or --print), it does.
bool drawsPictures(int argc, char** argv);

// Runs the tool on the process's own command line and returns its exit status. `drawing` draws pictures
// and pages; without one, a run that asks for them is refused.
int runToolMain(int argc, char** argv, const Drawing* drawing);

}  // namespace rw::cli
