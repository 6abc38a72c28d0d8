// The marks of the trim window: where the part of a file to convert starts and ends, and what
// "Ok" makes of them in the row's record.  Times are microseconds from the file's start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "workspace/FilesRecord.h"

class TTrimRange {
 public:
  // A file was opened: nothing is marked yet.
  void Opened(int64_t duration);
  // The part a row's record keeps: its start (when not negative) and its end, or the file's end
  // when the record keeps no length.
  void Load(const TlvFilesRecord &record);

  // The playing position taken as the start or the end; a position of 0 or less is no mark and
  // changes nothing (false).
  bool MarkStart(int64_t position);
  bool MarkEnd(int64_t position);
  // The whole file.
  void Reset();

  int64_t Start() const { return FStart; }
  int64_t End() const { return FEnd; }
  int64_t Duration() const { return FDuration; }
  // Whether the marks form a part that "Ok" keeps: a start before an end within the file.
  bool Valid() const;

  // What "Ok" stores: the start and length of the part in the record (a length within 1 ms of
  // the whole file, or shorter than 1 ms, is stored as 0: to the file's end); marks that form no
  // part keep the whole file.  Returns the "Trimmed Length" column's new text (the part's whole
  // seconds), or nothing when the file has no length and the column stays as it is.
  std::optional<std::string> Store(TlvFilesRecord &record) const;

 private:
  int64_t FStart = 0;
  int64_t FEnd = 0;
  int64_t FDuration = 0;
};
