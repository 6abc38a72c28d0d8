// The two-level profile list the profile box drops down: one row per category, followed by its
// profile rows while the category is expanded.  The collapsed state of every category is kept
// in the settings store's `lstformat` section.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workspace/SettingsStore.h"

struct TItemInfo {
  bool IsProfile = false;
  bool IsCategory = false;
  std::string CategoryName;
  bool Collapsed = false;
  int Code = 0;  // category index (category rows) or format code (profile rows)
};

struct TProfileRow {
  std::string Text;
  TItemInfo Info;
};

class TProfileList {
 public:
  static constexpr int RowHeight = 20;

  // Every category with its stored collapsed state (default collapsed) and, for the expanded
  // ones, their profiles.
  static std::vector<TProfileRow> Build(const TSettingsStore &store);

  // Expands a collapsed category row (its profile rows are inserted right after it) or
  // collapses an expanded one.  Profile rows are left alone.
  static void Toggle(std::vector<TProfileRow> &rows, size_t row);

  // Writes every category row's state to `lstformat` ("1" collapsed, "0" expanded).
  static void SaveCollapsedStates(const std::vector<TProfileRow> &rows, TSettingsStore &store);

  // The row whose text equals `text` with blanks trimmed.
  static std::optional<size_t> FindRow(const std::vector<TProfileRow> &rows,
                                       const std::string &text);

  // The text of the profile box: the stored `FormatName`.  Without one (a first start) it is the
  // name of the stored `FormatCode`, so that the box never names another profile than the one
  // the conversion uses.
  static std::string ShownFormatName(const TSettingsStore &store);

  // Picking a profile row: `FormatName` and `FormatCode` are written to `settings`.  Returns
  // false (and writes nothing) for a category row.
  static bool Pick(const TProfileRow &row, TSettingsStore &store);

  // Height of the list box when it is built: one spare row while the rows fit, 362 pixels beyond.
  static int BuiltHeight(size_t rowCount);
  // Height after a click in the list: one spare row, at most 386 pixels.
  static int ClickedHeight(size_t rowCount);
};
