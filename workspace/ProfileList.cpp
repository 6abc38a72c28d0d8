#include "workspace/ProfileList.h"

#include <algorithm>

#include "workspace/FormatCatalogue.h"
#include "workspace/NumberText.h"

namespace {

// Slots of a names-table row looked at when the list is built, and when a category is expanded
// by a click.  The catalogue's longest category has 10 profiles, so both reach all of them.
constexpr size_t SlotsWhenBuilt = 31;
constexpr size_t SlotsWhenExpanded = 50;

std::vector<TProfileRow> ProfileRows(int category, size_t slots) {
  std::vector<TProfileRow> rows;
  const auto &profiles = TFormatCatalogue::Categories()[static_cast<size_t>(category)].Profiles;
  for (size_t slot = 0; slot < std::min(slots, profiles.size()); ++slot) {
    if (!*profiles[slot]) continue;
    TProfileRow row;
    row.Text = profiles[slot];
    row.Info.IsProfile = true;
    row.Info.CategoryName = TFormatCatalogue::CategoryName(category);
    row.Info.Code = category * 100 + static_cast<int>(slot);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

std::vector<TProfileRow> TProfileList::Build(const TSettingsStore &store) {
  std::vector<TProfileRow> rows;
  for (int category = 0; category < TFormatCatalogue::CategoryCount; ++category) {
    TProfileRow row;
    row.Text = TFormatCatalogue::CategoryName(category);
    row.Info.IsCategory = true;
    row.Info.CategoryName = row.Text;
    row.Info.Code = category;
    row.Info.Collapsed = store.CategoryCollapsed(category);
    rows.push_back(row);
    if (!row.Info.Collapsed) {
      const auto profiles = ProfileRows(category, SlotsWhenBuilt);
      rows.insert(rows.end(), profiles.begin(), profiles.end());
    }
  }
  return rows;
}

void TProfileList::Toggle(std::vector<TProfileRow> &rows, size_t row) {
  if (row >= rows.size() || !rows[row].Info.IsCategory) return;
  TItemInfo &info = rows[row].Info;
  const auto next = rows.begin() + static_cast<std::ptrdiff_t>(row) + 1;
  if (info.Collapsed) {
    const auto profiles = ProfileRows(info.Code, SlotsWhenExpanded);
    info.Collapsed = false;
    rows.insert(next, profiles.begin(), profiles.end());
  } else {
    info.Collapsed = true;
    const auto end =
        std::find_if(next, rows.end(), [](const TProfileRow &r) { return !r.Info.IsProfile; });
    rows.erase(next, end);
  }
}

void TProfileList::SaveCollapsedStates(const std::vector<TProfileRow> &rows,
                                       TSettingsStore &store) {
  const TStoreEdit edit(store);
  for (const TProfileRow &row : rows)
    if (row.Info.IsCategory) store.SetCategoryCollapsed(row.Info.Code, row.Info.Collapsed);
}

std::optional<size_t> TProfileList::FindRow(const std::vector<TProfileRow> &rows,
                                            const std::string &text) {
  const std::string wanted = Trimmed(text);
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Text == wanted) return i;
  return std::nullopt;
}

std::string TProfileList::ShownFormatName(const TSettingsStore &store) {
  if (store.ValueExists(settingskeys::Section, settingskeys::FormatName))
    return store.FormatName(FormatNameInList);
  const std::string name = TFormatCatalogue::ProfileName(store.FormatCode());
  return name.empty() ? FormatNameInList : name;
}

bool TProfileList::Pick(const TProfileRow &row, TSettingsStore &store) {
  if (!row.Info.IsProfile) return false;
  const TStoreEdit edit(store);
  store.SetFormatName(row.Text);
  store.SetFormatCode(row.Info.Code);
  return true;
}

int TProfileList::BuiltHeight(size_t rowCount) {
  const int rows = static_cast<int>(rowCount);
  return rows * RowHeight < 363 ? (rows + 1) * RowHeight : 362;
}

int TProfileList::ClickedHeight(size_t rowCount) {
  return std::min(static_cast<int>(rowCount) * RowHeight + RowHeight, 386);
}
