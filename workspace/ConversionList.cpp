#include "workspace/ConversionList.h"

#include <algorithm>
#include <memory>
#include <system_error>

#include "services/UnicodeProtocol.h"
#include "services/component/FFmpegVCL.h"
#include "workspace/DestinationName.h"
#include "workspace/NumberText.h"
#include "workspace/SourceFile.h"

namespace fs = std::filesystem;

namespace {

// The open dialog's filter as the users of the program have always known it: caption and
// patterns in pairs, separated by "|", patterns by ";".
constexpr const char AddDialogFilterText[] =
    "All Supported Video Formats|*.AVI;*.AVM;*.ASF;*.WMV;*.AVS;*.FLV;*.MKV;*.MOV;*.3GP;*.3G2;"
    "*.M4V;*.MP4;*.MPG;*.MPEG;*.DAT;*.OGM;*.VOB;*.RM;*.RMVB;*.TS;*.TP;*.IFO;*.NSV;*.SWF;|"
    "All Supported Audio Formats|*.MP3;*.AAC;*.WAV;*.WMA;*.OGG;*.CDA;*.FLAC;*.M4A;*.MID;*.MKA;"
    "*.MP2;*.MPA;*.MPC;*.APE;*.OFR;*.OGG;*.RA;*.WV;*.TTA;*.AC3;*.DTS;|"
    "AVI files (*.avi)|*.avi|MPEG4 files (*.mp4)|*.mp4|MPEG files (*.mpg,*.mpeg)|*.mpg;*.mpeg|"
    "3GP files (*.3gp,*.3g2)|*.3gp;*.3g2|Itunes Video files (*.m4v)|*.m4v|"
    "Windows Media files (*.wmv,*.asf)|*.wmv;*.asf|Real Media files (*.rm,*.rmvb)|*.rm;*.rmvb|"
    "Video CD files (*.dat)|*.dat|Quick Time files (*.mov)|*.mov|"
    "Flash Video files (*.flv)|*.flv|Matroska Video files (*.mkv)|*.mkv|"
    "MJPEG Video files (*.mjpg,*.mjpeg)|*.mjpg;*.mjpeg|Animated GIF files (*.gif)|*.gif|"
    "H.264/MPEG4 AVC Video files (*.mts,*.m2ts)|*.mts;*.m2ts|"
    "DVD video object files (*.vob)|*.vob|MPEG-1 Video files (*.mpv)|*.mpv|"
    "Video Transport Stream files (*.ts)|*.ts|TP Video files (*.tp)|*.tp|"
    "Macromedia Flash files (*.swf)|*.swf|MP3 Audio files (*.mp3)|*.mp3|"
    "Advanced Audio Coding files (*.aac)|*.aac|Monkey's Audio files (*.ape)|*.ape|"
    "Ogg Vorbis Audio files (*.ogg)|*.ogg|Windows Media Audio files (*.wma)|*.wma|"
    "MusePack Audio files (*.mpc)|*.mpc|MPEG Audio files (*.mpa)|*.mpa|"
    "MPEG-4 Audio files (*.m4a)|*.m4a|Matroska Audio files (*.mka)|*.mka|"
    "DTS Audio files (*.dts)|*.dts|Audio Codec 3 files (*.ac3)|*.ac3|"
    "Speex Audio files (*.spx)|*.spx|Real Audio files (*.ra,*.ram)|*.ra;*.ram|"
    "MPEG Layer II Compressed Audio files (*.mp2)|*.mp2|All files (*.*)|*.*";

std::vector<std::string> Split(const std::string &text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1)
    parts.push_back(text.substr(start, end - start));
  parts.push_back(text.substr(start));
  return parts;
}

std::vector<TFileFilter> ParseFilters() {
  std::vector<TFileFilter> filters;
  const auto parts = Split(AddDialogFilterText, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    TFileFilter filter{parts[i], {}};
    for (const std::string &pattern : Split(parts[i + 1], ';'))
      if (!pattern.empty()) filter.Patterns.push_back(pattern);
    filters.push_back(filter);
  }
  return filters;
}

}  // namespace

const std::vector<TFileFilter> &AddDialogFilters() {
  static const std::vector<TFileFilter> filters = ParseFilters();
  return filters;
}

bool IsListedMediaFile(const fs::path &file) {
  const std::string extension = "*" + LowerCase(file.extension().string());
  if (extension == "*") return false;
  const auto &filters = AddDialogFilters();
  return std::any_of(filters.begin(), filters.begin() + 2, [&](const TFileFilter &filter) {
    return std::any_of(filter.Patterns.begin(), filter.Patterns.end(),
                       [&](const std::string &p) { return LowerCase(p) == extension; });
  });
}

std::vector<std::string> ExpandDroppedPaths(const std::vector<std::string> &paths,
                                            const std::function<bool()> &cancelled) {
  std::vector<std::string> files;
  const auto stop = [&] { return cancelled && cancelled(); };
  for (const std::string &path : paths) {
    if (stop()) return files;
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> inside;
    const auto options = fs::directory_options::skip_permission_denied;
    for (fs::recursive_directory_iterator it(path, options, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (stop()) return files;
      if (it->is_regular_file(ec) && IsListedMediaFile(it->path()))
        inside.push_back(it->path().string());
    }
    std::sort(inside.begin(), inside.end());
    files.insert(files.end(), inside.begin(), inside.end());
  }
  return files;
}

std::vector<std::string> CommandLinePaths(const std::vector<std::string> &arguments,
                                          const fs::path &workingFolder) {
  std::vector<std::string> paths;
  bool optionsEnded = false;
  for (const std::string &argument : arguments) {
    if (argument.empty()) continue;
    if (argument == "--" && !optionsEnded) {
      optionsEnded = true;
      continue;
    }
    paths.push_back((workingFolder / argument).lexically_normal().string());
  }
  return paths;
}

TDurationProbe ComponentDurationProbe(TCustomFFmpegVCL &component) {
  return [&component](const std::string &path) -> std::optional<int64_t> {
    TInputOptions input;
    InitInputOptions(input);
    input.FileName = UTF8ToWide(path);
    const int task = component.AddTask(input.FileName, &input);
    if (task < 0) return std::nullopt;
    TFileStreamInfo info;
    if (TAVProbe *probe = component.AVProbes(task, 0)) probe->GetFileStreamInfo(info);
    // The task only served to open and probe the file.
    component.RemoveTask(task);
    component.ClearTasks();
    return info.Duration;
  };
}

TDurationProbe OwnComponentDurationProbe() {
  auto component = std::make_shared<TCustomFFmpegVCL>();
  return [component, probe = ComponentDurationProbe(*component)](const std::string &path) {
    return probe(path);
  };
}

// Rows

bool TConversionList::Listed(const std::string &path) const {
  return std::any_of(FRows.begin(), FRows.end(),
                     [&](const TConversionRow &row) { return row.Caption == path; });
}

int TConversionList::Add(const std::vector<std::string> &paths, TSettingsStore &store,
                         const TFormatCatalogue &catalogue, IJobQuestions &questions,
                         const TDurationProbe &probe) {
  int added = 0;
  for (const TPendingRead &read : Admit(paths, store, catalogue, questions))
    if (Resolve(read.Id, probe(read.Path)).Kept) ++added;
  return added;
}

std::vector<TPendingRead> TConversionList::Admit(const std::vector<std::string> &paths,
                                                 TSettingsStore &store,
                                                 const TFormatCatalogue &catalogue,
                                                 IJobQuestions &questions) {
  std::string refusals;
  std::vector<TPendingRead> reads = Admit(paths, store, catalogue, questions, refusals);
  if (!refusals.empty()) questions.ShowMessage(refusals, WarningCaption);
  return reads;
}

std::vector<TPendingRead> TConversionList::Admit(const std::vector<std::string> &paths,
                                                 TSettingsStore &store,
                                                 const TFormatCatalogue &catalogue,
                                                 IJobQuestions &questions, std::string &refusals) {
  const int code = store.FormatCode();
  const std::string zoom = store.ReadProfile(code, profilekeys::paraZoom, "lbox");
  std::vector<TPendingRead> reads;
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string &path = paths[i];
    std::error_code ec;
    if (fs::is_directory(path, ec) || Listed(path)) continue;
    // A pipe or a device would hang the probe's open: said, never opened.
    if (const std::string why = SourceFileRefusal(path); !why.empty()) {
      refusals += (refusals.empty() ? "" : "\n") + why;
      continue;
    }
    // The output folder is made (or the default put in its place, said once) as the first row
    // comes; NameDestinations names the rows below.
    if (reads.empty()) PreparedOutputFolder(store, questions);
    TConversionRow row;
    row.Caption = path;
    row.Reading = true;
    row.ReadId = ++FLastReadId;
    row.Record.AddIndex = static_cast<int>(i);
    row.Record.SourceFile = path;
    row.Record.ZoomMode = zoom;
    reads.push_back({row.ReadId, path});
    FRows.push_back(std::move(row));
  }
  if (!reads.empty()) NameDestinations(store, catalogue, Count() - static_cast<int>(reads.size()));
  return reads;
}

TConversionList::TReadOutcome TConversionList::Resolve(int id,
                                                       const std::optional<int64_t> &duration) {
  const auto found = std::find_if(FRows.begin(), FRows.end(), [id](const TConversionRow &row) {
    return row.Reading && row.ReadId == id;
  });
  if (found == FRows.end()) return {};
  const int index = static_cast<int>(found - FRows.begin());
  // A file the engine cannot open is left out without a word, as it always was.
  if (!duration) {
    FRows.erase(found);
    return {index, false};
  }
  const int seconds = static_cast<int>(std::max<int64_t>(*duration, 0) / 1000000);
  found->LengthText = found->TrimmedLengthText = std::to_string(seconds);
  found->Record.DurationSec = seconds;
  found->Reading = false;
  return {index, true};
}

std::vector<TPendingRead> TConversionList::Restore(std::vector<TConversionRow> rows) {
  FRows = std::move(rows);
  std::vector<TPendingRead> reads;
  for (TConversionRow &row : FRows) {
    std::error_code ec;
    row.SourceGone = !fs::is_regular_file(row.Caption, ec);
    row.Reading = row.Reading && !row.SourceGone;
    if (!row.Reading) continue;
    row.ReadId = ++FLastReadId;
    reads.push_back({row.ReadId, row.Caption});
  }
  return reads;
}

int TConversionList::DropReading() {
  const auto before = FRows.size();
  FRows.erase(std::remove_if(FRows.begin(), FRows.end(),
                             [](const TConversionRow &row) { return row.Reading; }),
              FRows.end());
  return static_cast<int>(before - FRows.size());
}

bool TConversionList::Reading() const {
  return std::any_of(FRows.begin(), FRows.end(),
                     [](const TConversionRow &row) { return row.Reading; });
}

void TConversionList::NameDestinations(const TSettingsStore &store,
                                       const TFormatCatalogue &catalogue, int first) {
  const fs::path folder = store.OutPutDir();
  const std::string extensionText = "." + catalogue.Read(store.FormatCode()).FileExt;
  const size_t from = static_cast<size_t>(std::clamp(first, 0, Count()));
  std::set<fs::path> taken;
  for (size_t i = 0; i < from; ++i)
    if (FRows[i].Checked) taken.insert(FRows[i].Record.DestFile);
  for (size_t i = from; i < FRows.size(); ++i) {
    TConversionRow &row = FRows[i];
    const fs::path destination = RowDestination(row, folder, extensionText, taken);
    if (row.Checked) taken.insert(destination);
    row.Record.DestFile = destination.string();
    if (!row.Converted) row.DestinationText = destination.filename().string();
  }
}

fs::path TConversionList::RowDestination(const TConversionRow &row, const fs::path &folder,
                                         const std::string &extensionText,
                                         const std::set<fs::path> &taken) {
  return UniqueDestinationName(folder, row.Caption, extensionText, taken);
}

int TConversionList::Remove(int row) {
  if (row < 0 || row >= Count()) return -1;
  FRows.erase(FRows.begin() + row);
  if (FRows.empty()) return -1;
  return std::min(row, Count() - 1);
}

int TConversionList::Remove(const std::set<int> &rows) {
  const auto first =
      std::find_if(rows.begin(), rows.end(), [this](int row) { return row >= 0 && row < Count(); });
  if (first == rows.end()) return -1;
  const int place = *first;
  // From the last to the first, so that the indices still to remove do not move.
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    if (*it >= 0 && *it < Count()) FRows.erase(FRows.begin() + *it);
  if (FRows.empty()) return -1;
  return std::min(place, Count() - 1);
}

bool TConversionList::Clear() {
  if (FRows.empty()) return false;
  FRows.clear();
  return true;
}

void TConversionList::SetAllChecked(bool checked) {
  for (TConversionRow &row : FRows) row.Checked = checked;
}

void TConversionList::ReverseCheck() {
  for (TConversionRow &row : FRows) row.Checked = !row.Checked;
}

void TConversionList::SetChecked(int row, bool checked) {
  if (row >= 0 && row < Count()) Row(row).Checked = checked;
}

void TConversionList::SetChecked(const std::set<int> &rows, bool checked) {
  for (int row : rows) SetChecked(row, checked);
}

int TConversionList::CheckedCount() const {
  return static_cast<int>(
      std::count_if(FRows.begin(), FRows.end(), [](const TConversionRow &r) { return r.Checked; }));
}

bool TConversionList::RowCommandsEnabled(int rowCount, int selectedRow) {
  return rowCount > 0 && selectedRow >= 0 && selectedRow < rowCount;
}
