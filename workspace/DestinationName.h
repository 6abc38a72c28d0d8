// Names of converted files: the source's name with "_(new)" (or "_(new_1)", "_(new_2)", ... when
// that file exists) and the profile's extension, in the output folder of the settings store.
#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "workspace/JobQuestions.h"
#include "workspace/SettingsStore.h"

// Makes the output folder when it does not exist.  Returns "" when `folder` is a folder that
// exists now, otherwise why it cannot be one ("it is a file, not a folder", "Permission denied").
std::string PrepareOutputFolder(const std::filesystem::path &folder);

// A folder the program writes its files into: `folder`, made with its parents when missing.  When
// it cannot be made, the user is told, the default folder (~/videoconverter) is made and used
// instead, and `keepDefault` is handed its path to store in place of the setting that named
// `folder`.
std::filesystem::path FolderOrDefault(const std::string &folder, IJobQuestions &questions,
                                      const std::function<void(const std::string &)> &keepDefault);

// The name a converted `source` gets in `folder`: "_(new)", or the first "_(new_N)" that no file
// there and no name in `taken` has.  Nothing is made and nobody is told anything.
std::filesystem::path UniqueDestinationName(const std::filesystem::path &folder,
                                            const std::filesystem::path &source,
                                            const std::string &extensionText,
                                            const std::set<std::filesystem::path> &taken = {});

// The store's output folder, made when missing; when it cannot be made, the default folder as
// FolderOrDefault gives it, stored as `OutPutDir`.
std::filesystem::path PreparedOutputFolder(TSettingsStore &store, IJobQuestions &questions);

// `extensionText` includes the point (".mp4").  An output folder that does not exist is created;
// when that fails the user is told, the default folder (~/videoconverter) is created, stored as
// `OutPutDir` and used.  Names in `taken` count as existing, so that the rows of one batch never
// share a destination even before any of them is written.
std::filesystem::path DestinationFileName(TSettingsStore &store, IJobQuestions &questions,
                                          const std::filesystem::path &source,
                                          const std::string &extensionText,
                                          const std::set<std::filesystem::path> &taken = {});
