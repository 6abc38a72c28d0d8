// The rows of the conversion list without their widget: one row per source file with its texts,
// its check box and its job record; adding (from the open dialog or a drop), removing, clearing
// and checking rows.  The main window shows these rows and forwards its commands here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "workspace/FilesRecord.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/JobQuestions.h"
#include "workspace/SettingsStore.h"

class TCustomFFmpegVCL;

struct TConversionRow {
  std::string Caption;            // the source's full path
  std::string LengthText;         // the source's duration in whole seconds
  std::string TrimmedLengthText;  // the same until the trim editor changes it
  std::string DestinationText;    // the file-name part of the destination
  std::string ProgressText;       // "57%", "100%" ...
  bool Checked = true;
  // Why the row's last conversion failed, in the words of the engine; empty when it did not.
  std::string FailReason;
  // What the last conversion warned of although it finished (a damaged source); empty when none.
  std::string Warning;
  // The row's last conversion finished: DestinationText names the file it wrote, and WrittenFile
  // is its full path (the output folder may change afterwards), until the row is converted again.
  bool Converted = false;
  std::filesystem::path WrittenFile;
  // The row's file is still being probed: its length is not known yet.  `ReadId` names the probe.
  bool Reading = false;
  int ReadId = 0;
  // The row came back from the last run and its source file has gone since: it is shown as such
  // and not converted.
  bool SourceGone = false;
  TlvFilesRecord Record;

  // Whether Start converts the row.
  bool ToConvert() const { return Checked && !SourceGone; }
};

// A file given a row that waits for its probe, and the probe's name.
struct TPendingRead {
  int Id = 0;
  std::string Path;
};

// One entry of the open dialog's filter: its caption and its name patterns ("*.AVI" ...).
struct TFileFilter {
  std::string Name;
  std::vector<std::string> Patterns;
};
const std::vector<TFileFilter> &AddDialogFilters();

// Whether the file's extension is one of the two "All Supported" groups of the open dialog
// (compared without regard to case).
bool IsListedMediaFile(const std::filesystem::path &file);

// Files and folders dropped on the list, as the files to add: a file stays as it is; a folder
// gives the listed media files inside it and its subfolders, sorted by path.  The walk through a
// folder stops (and gives nothing more) as soon as `cancelled` answers true.
std::vector<std::string> ExpandDroppedPaths(const std::vector<std::string> &paths,
                                            const std::function<bool()> &cancelled = {});

// The files and folders named on the program's command line (how a desktop passes the files a
// user opens with the program), as paths to add the way a drop adds them: a relative name is
// taken from `workingFolder`; a "--" that ends the options is left out.
std::vector<std::string> CommandLinePaths(const std::vector<std::string> &arguments,
                                          const std::filesystem::path &workingFolder);

// The source's duration in microseconds (negative when unknown), or nothing when the engine
// cannot open the file.
using TDurationProbe = std::function<std::optional<int64_t>(const std::string &path)>;

// Opens the file as a task of the encoder component (the way the conversion will open it),
// reads the duration from the task's input probe and removes the task again.
TDurationProbe ComponentDurationProbe(TCustomFFmpegVCL &component);
// The same with an encoder component of its own, for a thread other than the one whose
// component runs the batch.
TDurationProbe OwnComponentDurationProbe();

class TConversionList {
 public:
  const std::vector<TConversionRow> &Rows() const { return FRows; }
  TConversionRow &Row(int row) { return FRows.at(static_cast<size_t>(row)); }
  int Count() const { return static_cast<int>(FRows.size()); }

  // Appends a checked row for every path that is not a folder, not already listed (the
  // comparison is case-sensitive, as file names are) and that the engine opens; the others are
  // skipped without a word, except names that SourceFileRefusal refuses (pipes, devices, names
  // that are not UTF-8): those are never opened and are told in one message.  Destinations are
  // named for the current profile (`FormatCode` of the store).  Returns the number of rows added.
  int Add(const std::vector<std::string> &paths, TSettingsStore &store,
          const TFormatCatalogue &catalogue, IJobQuestions &questions, const TDurationProbe &probe);

  // Names the destinations of the rows from `first` on for the current profile and output folder
  // of the store, as Start would name them now: the checked rows above a row keep their names
  // from it (rows added at the end change no name above them, so an add names its own rows
  // only).  A converted row goes on showing the name its file was written under.  Nothing is
  // made or written; a folder that does not exist yet takes every first name.
  void NameDestinations(const TSettingsStore &store, const TFormatCatalogue &catalogue,
                        int first = 0);
  // The destination the Destination column shows for a row, in `folder` with the extension
  // text, beside the names in `taken`.
  static std::filesystem::path RowDestination(const TConversionRow &row,
                                              const std::filesystem::path &folder,
                                              const std::string &extensionText,
                                              const std::set<std::filesystem::path> &taken);
  // Add in two steps, for a probe that runs elsewhere.  Admit appends the rows as Add does, each
  // in the reading state, and returns the probes to run, in the order of the rows.
  std::vector<TPendingRead> Admit(const std::vector<std::string> &paths, TSettingsStore &store,
                                  const TFormatCatalogue &catalogue, IJobQuestions &questions);
  // The same without a word: the names refused are added to `refusals` (one a line, as Add tells
  // them), for one message after several calls.
  std::vector<TPendingRead> Admit(const std::vector<std::string> &paths, TSettingsStore &store,
                                  const TFormatCatalogue &catalogue, IJobQuestions &questions,
                                  std::string &refusals);
  // A probe has ended (`duration` as TDurationProbe gives it): its row gets its length, or leaves
  // the list when the engine could not open the file.  `Row` is the row's index (-1: no row
  // waits for that probe any more), `Kept` whether the row stayed.
  struct TReadOutcome {
    int Row = -1;
    bool Kept = false;
  };
  TReadOutcome Resolve(int id, const std::optional<int64_t> &duration);
  // Puts back the rows kept from the last run in place of the list's: a row whose source file is
  // no longer there is marked SourceGone (and is not read); a row that was still reading is read
  // again, and its probe is returned as Admit returns them.
  std::vector<TPendingRead> Restore(std::vector<TConversionRow> rows);
  // Reading cancelled: the rows still waiting for their probes leave the list.  Returns their
  // number.
  int DropReading();
  // Whether a row still waits for its probe.
  bool Reading() const;

  // Removes a row; returns the row to select afterwards: the one that moved into its place, the
  // new last row when the last was removed, -1 when the list became empty.
  int Remove(int row);
  // Removes several rows at once (indices outside the list are passed over); returns the row to
  // select afterwards: the one that moved into the place of the first row removed, the new last
  // row when nothing followed it, -1 when the list became empty or nothing was removed.
  int Remove(const std::set<int> &rows);
  // Removes every row; false (and nothing done) when the list was empty.
  bool Clear();

  void SetAllChecked(bool checked);
  void ReverseCheck();
  void SetChecked(int row, bool checked);
  void SetChecked(const std::set<int> &rows, bool checked);
  int CheckedCount() const;

  // The list's commands other than "Add" (and the check commands of the "Edit" menu) work on the
  // selected row: they are enabled only when there are rows and one is selected.
  static bool RowCommandsEnabled(int rowCount, int selectedRow);

 private:
  bool Listed(const std::string &path) const;

  std::vector<TConversionRow> FRows;
  int FLastReadId = 0;
};
