// The life of a converted file on disk.  It is written under a hidden working name beside its
// destination and takes the destination's name only once it is complete, so that a process
// killed half-way (or a machine losing power) never leaves a half-written file that passes for
// converted.  A stopped conversion's file is set aside under a name saying it is unfinished.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Makes an empty file with a free hidden name in the destination's folder, with the
// destination's extension (so that the muxer chosen from the name is the same):
// ".NAME.converting-PID.EXT" with this process's id, or ".NAME.converting-PID-N.EXT" when that
// is taken.  The id tells a later start whether the writer is still there.  Throws
// std::runtime_error with the system's reason when no file can be made there.
std::filesystem::path ReserveWorkingFile(const std::filesystem::path &destination);

// Gives the complete working file its final name, after its data has reached the disk.  Never
// replaces a file that appeared under that name meanwhile.  Returns "" or the reason it failed.
std::string PublishWorkingFile(const std::filesystem::path &working,
                               const std::filesystem::path &destination);

// A stopped or failed conversion may leave a readable but unfinished file: it gets a name that
// does not claim to be the converted file ("NAME.part", or "NAME.N.part" when that is taken),
// where NAME is `named` (the file's own name when empty).  Returns the new name, or an empty
// path when there was no file or it could not be renamed.
std::filesystem::path SetAsidePartialOutput(const std::filesystem::path &file,
                                            const std::filesystem::path &named = {});

// A writer killed outright (power cut, SIGKILL) leaves its working file behind.  Removes, in
// `folder` only, the working files whose writer process is gone: plain files whose names match
// ".NAME.converting-PID[-N][.EXT]" and whose PID names no running process.  Nothing else is
// touched.  Returns what was removed.
std::vector<std::filesystem::path> RemoveAbandonedWorkingFiles(const std::filesystem::path &folder);
// What both programs say of each file RemoveAbandonedWorkingFiles removed.
std::string AbandonedWorkingFileNote(const std::filesystem::path &removed);
