// The command line's effects and watermark options, read with the watermark editor's ranges and
// turned into a row's record with its per-cent-to-pixel rule (editors/WaterMarkValues.h), so
// that both accept the same values and place a watermark at the same pixel.
#pragma once

#include <string>

#include "editors/WaterMarkValues.h"
#include "workspace/FilesRecord.h"

// Reads "0x00BBGGRR" from a colour name ("white", "navy", ...) or "#RRGGBB".
bool ParseMarkColor(const std::string &text, uint32_t &color);

// The command line's effects and watermark options.  Every value is checked when it is read;
// what is read is laid into each row's record by ApplyTo.
//
//   TDecorationOptions decoration;
//   if (TDecorationOptions::Handles(arg)) {
//     const std::string error = decoration.Set(arg, TDecorationOptions::TakesValue(arg) ? next :
//     "");
//     ...
//   }
//   const std::string error = decoration.Check();  // after the last option
//   decoration.ApplyTo(record, sourceWidth, sourceHeight);
class TDecorationOptions {
 public:
  // The lines of the options for a program's --help.
  static const char HelpText[];

  static bool Handles(const std::string &option);
  // False for the two switches (--effects-on-text, --effects-on-image).
  static bool TakesValue(const std::string &option);

  // Reads one option and its value; returns the reason it was refused, empty when accepted.
  std::string Set(const std::string &option, const std::string &value);
  // After the last option: text and picture options given without the text or the picture
  // they belong to are refused.
  std::string Check() const;

  // Writes the effects and watermark fields of `record` as the editor would after "Ok" on a
  // source whose frames are `frameWidth` x `frameHeight`.
  void ApplyTo(TlvFilesRecord &record, int frameWidth, int frameHeight) const;

 private:
  TlvFilesRecord FValues;  // the decoration fields only; positions in per cent
  bool FTextOptionGiven = false;
  bool FImageOptionGiven = false;
};
