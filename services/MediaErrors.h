// Texts for the libraries' negative results, shared by the engine, the probe and the player.
#pragma once

#include <string>

// "No such file or directory", "Unknown format", ... or "Error number %d occurred".
std::string MediaErrorText(int err);

// "what: reason" for a failed library call, e.g. "Video encoding failed: End of file".
std::string WithMediaError(const std::string &what, int err);
