#include "workspace/DestinationName.h"

#include <system_error>

#include "platform/Paths.h"
#include "workspace/LogicTexts.h"

namespace fs = std::filesystem;

namespace {

bool Taken(const fs::path &name, const std::set<fs::path> &taken) {
  std::error_code ec;
  return taken.count(name) > 0 || fs::exists(name, ec);
}

}  // namespace

std::string PrepareOutputFolder(const fs::path &folder) {
  std::error_code ec;
  if (folder.empty()) return "no folder named";
  if (fs::is_directory(folder, ec)) return "";
  if (fs::exists(folder, ec)) return "it is a file, not a folder";
  fs::create_directories(folder, ec);
  if (ec) return ec.message();
  return fs::is_directory(folder, ec) ? "" : "it cannot be made";
}

fs::path FolderOrDefault(const std::string &folder, IJobQuestions &questions,
                         const std::function<void(const std::string &)> &keepDefault) {
  if (PrepareOutputFolder(folder).empty()) return folder;
  const fs::path fallback = paths::DefaultOutputFolder();
  questions.ShowMessage(ArgText(logictexts::NoOutputFolder, {folder, fallback.string()}),
                        WarningCaption);
  std::error_code ec;
  fs::create_directories(fallback, ec);
  keepDefault(fallback.string());
  return fallback;
}

fs::path PreparedOutputFolder(TSettingsStore &store, IJobQuestions &questions) {
  return FolderOrDefault(store.OutPutDir(), questions,
                         [&](const std::string &f) { store.SetOutPutDir(f); });
}

fs::path DestinationFileName(TSettingsStore &store, IJobQuestions &questions,
                             const fs::path &source, const std::string &extensionText,
                             const std::set<fs::path> &taken) {
  return UniqueDestinationName(PreparedOutputFolder(store, questions), source, extensionText,
                               taken);
}

fs::path UniqueDestinationName(const fs::path &folder, const fs::path &source,
                               const std::string &extensionText, const std::set<fs::path> &taken) {
  const fs::path base = folder / source.stem();
  fs::path name = base.string() + "_(new)" + extensionText;
  for (int n = 1; Taken(name, taken); ++n)
    name = base.string() + "_(new_" + std::to_string(n) + ")" + extensionText;
  return name;
}
