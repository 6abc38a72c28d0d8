// Texts of the logic that are put together from a pattern and values (a file name, a number),
// each pattern once, so that the windows can show the sentence in the user's language with the
// values in their places (gui/Translations).  The logic builds the English text with ArgText.
#pragma once

#include <span>

#include "services/TranslatableText.h"

namespace logictexts {

inline constexpr const char Seconds[] = QT_TRANSLATE_NOOP("Messages", "%1 Second");
inline constexpr const char WaterMarkTitle[] = QT_TRANSLATE_NOOP("Messages", "Water Mark  %1");
inline constexpr const char FrameSizeCorrected[] =
    QT_TRANSLATE_NOOP("Messages", "Frame Size must be a multiple of 2.\nThe correct value:%1");
inline constexpr const char NoOutputFolder[] = QT_TRANSLATE_NOOP(
    "Messages", "Cannot create output directory:%1.It will create default directory %2!");
inline constexpr const char UpgradeQuestion[] =
    QT_TRANSLATE_NOOP("Messages", "Do you want to upgrade to %1 %2 now?");
inline constexpr const char NameNotUtf8[] = QT_TRANSLATE_NOOP(
    "Messages", "%1: the file name is not valid UTF-8 text; rename the file to convert it");
inline constexpr const char NotRegularFile[] = QT_TRANSLATE_NOOP(
    "Messages", "%1: is %2, not a regular file; only regular files can be converted");
inline constexpr const char DecodeError[] =
    QT_TRANSLATE_NOOP("Messages", "warning: %1 decode error, the source is damaged or cut short");
inline constexpr const char DecodeErrors[] =
    QT_TRANSLATE_NOOP("Messages", "warning: %1 decode errors, the source is damaged or cut short");
inline constexpr const char StartBeyondEnd[] =
    QT_TRANSLATE_NOOP("Messages", "the start %1 is beyond the end of the source (duration %2)");
inline constexpr const char SettingsKeptAside[] = QT_TRANSLATE_NOOP(
    "Messages",
    "The settings file %1 could not be read (%2). It was kept as %3, and the program goes on "
    "with the default settings.");
inline constexpr const char SettingsLeftDamaged[] = QT_TRANSLATE_NOOP(
    "Messages",
    "The settings file %1 could not be read (%2). It is left as it is, and the program goes on "
    "with the default settings. Changes will not be kept.");
inline constexpr const char SettingsReadOnly[] = QT_TRANSLATE_NOOP(
    "Messages",
    "The settings file %1 is read-only: it is read but never written. Changes will not be kept.");
inline constexpr const char SettingsNotSaved[] = QT_TRANSLATE_NOOP(
    "Messages", "The settings could not be saved to %1 (%2). Changes will not be kept.");
inline constexpr const char SnapshotNotWritten[] =
    QT_TRANSLATE_NOOP("Messages", "Cannot write the snapshot %1: %2");

}  // namespace logictexts

// Every pattern above, for the windows to recognise the texts made from them.
inline std::span<const char *const> LogicTextPatterns() {
  namespace t = logictexts;
  static const char *const all[] = {t::Seconds,
                                    t::WaterMarkTitle,
                                    t::FrameSizeCorrected,
                                    t::NoOutputFolder,
                                    t::UpgradeQuestion,
                                    t::NameNotUtf8,
                                    t::NotRegularFile,
                                    t::DecodeError,
                                    t::DecodeErrors,
                                    t::StartBeyondEnd,
                                    t::SnapshotNotWritten,
                                    t::SettingsKeptAside,
                                    t::SettingsLeftDamaged,
                                    t::SettingsReadOnly,
                                    t::SettingsNotSaved};
  return all;
}
