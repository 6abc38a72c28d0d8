// Folders the program reads and writes outside the media files: the user's home, the user's
// configuration folder, the folder of the running executable and the installed data folders.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace paths {

// $HOME, or the password database's home folder when HOME is unset or empty.
std::filesystem::path HomeFolder();

// $XDG_CONFIG_HOME/morvane, or ~/.config/morvane when XDG_CONFIG_HOME is unset, empty or not an
// absolute path (the XDG rules say relative values are to be ignored).
std::filesystem::path ConfigFolder();

// $XDG_CACHE_HOME/morvane, or ~/.cache/morvane under the same rules: files the program may lose
// without harm (the update document and its copy).
std::filesystem::path CacheFolder();

// $XDG_STATE_HOME/morvane, or ~/.local/state/morvane under the same rules: what the program keeps
// from one run to the next that is neither a setting nor a cache (the conversion list).
std::filesystem::path StateFolder();

// The folder of the running executable (from /proc/self/exe); empty when it cannot be read.
std::filesystem::path ExecutableFolder();

// The private set of media libraries, preferred over the system's: "LibAV" beside the executable.
std::filesystem::path LibAVFolder();

// The folder converted files go to when the user has not chosen one: ~/videoconverter.
std::filesystem::path DefaultOutputFolder();

// Places a data file of the program may live in, most specific first: beside the executable in
// "data", one level up in "data" (the build tree), and the installed share folders.
std::vector<std::filesystem::path> DataFolders();

// The first existing `name` among DataFolders(); empty when none has it.
std::filesystem::path FindDataFile(const std::string &name);

}  // namespace paths
