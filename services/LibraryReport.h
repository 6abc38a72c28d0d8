// The media libraries the loader has loaded, as a person reads them: one line per library with
// its file, version and the folder it came from; the build configuration of each only on request
// (it runs to several screens).
#pragma once

#include <string>

// Lines for the player's set (the encoder libraries and SDL), as far as they are loaded; a
// library that is not loaded says so.  With `verbose`, each library's configuration follows its
// line.
std::string LibraryReport(bool verbose);
