#include "workspace/QueueStore.h"

#include <signal.h>

// Texts are kept as the UTF-8 bytes they are, as in the settings store; the library's template
// bodies are compiled where they are used.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/Paths.h"
#include "workspace/NumberText.h"
#include "workspace/SafeFileWriter.h"

namespace fs = std::filesystem;

namespace {

constexpr const char QueueSection[] = "queue";
constexpr const char VersionKey[] = "Version";
constexpr const char CountKey[] = "Count";
constexpr int QueueVersion = 1;
// Far more than any list a person makes (a row takes about a kilobyte).
constexpr uint64_t MaxQueueFileSize = 256ull << 20;
// Pixels of a frame, far beyond the largest frame an encoder takes.
constexpr TValueRange FramePixels{0, 65535};
constexpr TValueRange NotNegative{0, INT_MAX};

std::string RowSection(int index) {
  return "row" + std::to_string(index);
}

// A value on one line of the file that reads back byte for byte: the INI library trims blanks at
// both ends and ends a value at the line's end, so the backslash, control characters (a file
// name may hold a line break) and blanks at the ends are written as escapes.
std::string Escaped(const std::string &value) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    const bool blankAtEnd = c == ' ' && (i == 0 || i + 1 == value.size());
    if (c == '\\') {
      text += "\\\\";
    } else if (c < 0x20 || c == 0x7f || blankAtEnd) {
      text += "\\x";
      text += Hex[c >> 4];
      text += Hex[c & 15];
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Nothing when the text is not what Escaped writes.
std::optional<std::string> Unescaped(const std::string &text) {
  std::string value;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      value += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      value += '\\';
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
               HexDigit(text[i + 3]) >= 0) {
      value += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 3;
    } else {
      return std::nullopt;
    }
  }
  return value;
}

// Writes a row's fields as "Key=value" lines.
class TRowWriter {
 public:
  explicit TRowWriter(std::string &text) : FText(text) {}
  void Text(const char *key, const std::string &value) {
    FText += key;
    FText += '=';
    FText += Escaped(value);
    FText += '\n';
  }
  void Flag(const char *key, bool value) { Text(key, value ? "1" : "0"); }
  template <class Integer, class Range>
  void Number(const char *key, Integer value, Range) {
    Text(key, std::to_string(value));
  }

 private:
  std::string &FText;
};

// Reads a row's fields from its section; a field that is missing or cannot be read keeps what
// the row has.
class TRowReader {
 public:
  explicit TRowReader(const CSimpleIniA::TKeyVal &keys) : FKeys(keys) {}
  void Text(const char *key, std::string &value) {
    if (const auto text = Value(key)) value = *text;
  }
  void Flag(const char *key, bool &value) {
    if (const auto text = Value(key))
      if (const auto number = IntegerText(*text)) value = *number != 0;
  }
  template <class Integer, class Range>
  void Number(const char *key, Integer &value, Range range) {
    const auto text = Value(key);
    if (!text) return;
    const auto number = Integer64Text(*text);
    if (!number) return;
    value = static_cast<Integer>(std::clamp<int64_t>(*number, range.Min, range.Max));
  }

 private:
  std::optional<std::string> Value(const char *key) const {
    const auto found = FKeys.find(CSimpleIniA::Entry(key));
    if (found == FKeys.end() || !found->second) return std::nullopt;
    return Unescaped(found->second);
  }
  const CSimpleIniA::TKeyVal &FKeys;
};

struct TRange64 {
  int64_t Min, Max;
};
constexpr TRange64 Microseconds{0, INT64_MAX};
constexpr TRange64 Colour{0, 0xFFFFFF};

// Every field of a row that is kept, for writing and for reading alike.
template <class Visitor>
void VisitRow(TConversionRow &row, Visitor &v) {
  namespace range = decorationranges;
  TlvFilesRecord &r = row.Record;
  v.Text("Source", row.Caption);
  v.Flag("Checked", row.Checked);
  v.Flag("Reading", row.Reading);
  v.Text("Length", row.LengthText);
  v.Text("TrimmedLength", row.TrimmedLengthText);
  v.Text("Destination", row.DestinationText);
  v.Text("Progress", row.ProgressText);
  v.Text("FailReason", row.FailReason);
  v.Text("Warning", row.Warning);
  v.Flag("Converted", row.Converted);
  std::string written = row.WrittenFile.string();
  v.Text("WrittenFile", written);
  row.WrittenFile = written;
  v.Number("AddIndex", r.AddIndex, NotNegative);
  v.Text("DestFile", r.DestFile);
  v.Number("DurationSec", r.DurationSec, NotNegative);
  v.Number("TrimStart", r.TrimStart, Microseconds);
  v.Number("TrimLength", r.TrimLength, Microseconds);
  v.Text("ZoomMode", r.ZoomMode);
  v.Number("CropTop", r.CropTop, FramePixels);
  v.Number("CropLeft", r.CropLeft, FramePixels);
  v.Number("CropBottom", r.CropBottom, FramePixels);
  v.Number("CropRight", r.CropRight, FramePixels);
  v.Number("CropEditTop", r.CropEditTop, FramePixels);
  v.Number("CropEditLeft", r.CropEditLeft, FramePixels);
  v.Number("CropEditBottom", r.CropEditBottom, FramePixels);
  v.Number("CropEditRight", r.CropEditRight, FramePixels);
  v.Text("MarkText", r.MarkText);
  v.Text("MarkFontName", r.MarkFont.Name);
  v.Number("MarkFontSize", r.MarkFont.Size, range::FontSize);
  v.Number("MarkFontColor", r.MarkFont.Color, Colour);
  v.Flag("MarkFontBold", r.MarkFont.Bold);
  v.Flag("MarkFontItalic", r.MarkFont.Italic);
  v.Flag("MarkFontUnderline", r.MarkFont.Underline);
  v.Flag("MarkFontStrikeOut", r.MarkFont.StrikeOut);
  v.Number("MarkTextX", r.MarkTextX, FramePixels);
  v.Number("MarkTextY", r.MarkTextY, FramePixels);
  v.Number("MarkTextHorzPos", r.MarkTextHorzPos, range::Position);
  v.Number("MarkTextVertPos", r.MarkTextVertPos, range::Position);
  v.Text("MarkImage", r.MarkImage);
  v.Number("MarkImageX", r.MarkImageX, FramePixels);
  v.Number("MarkImageY", r.MarkImageY, FramePixels);
  v.Number("MarkImageHorzPos", r.MarkImageHorzPos, range::Position);
  v.Number("MarkImageVertPos", r.MarkImageVertPos, range::Position);
  v.Number("MarkImageAlpha", r.MarkImageAlpha, range::Opacity);
  v.Number("MarkImageStyle", r.MarkImageStyle, range::ImageStyle);
  v.Number("Brightness", r.Brightness, range::Brightness);
  v.Number("Contrast", r.Contrast, range::Contrast);
  v.Number("Saturation", r.Saturation, range::Saturation);
  v.Number("Exposure", r.Exposure, range::Exposure);
  v.Flag("EffectOnText", r.EffectOnText);
  v.Flag("EffectOnImage", r.EffectOnImage);
}

bool KnownZoomMode(const std::string &mode) {
  static constexpr std::array<const char *, 4> Modes = {"full", "lbox", "pan", "center"};
  return std::any_of(Modes.begin(), Modes.end(), [&](const char *m) { return mode == m; });
}

// A percentage without a result is what a conversion cut short left: it is not kept.
void ForgetCutShortProgress(TConversionRow &row) {
  if (!row.Converted && row.FailReason.empty()) row.ProgressText.clear();
}

// The row a section holds, or nothing when it names no source.
std::optional<TConversionRow> RowOfSection(const CSimpleIniA::TKeyVal &keys) {
  TConversionRow row;
  TRowReader reader(keys);
  VisitRow(row, reader);
  if (row.Caption.empty()) return std::nullopt;
  row.Record.SourceFile = row.Caption;
  if (!KnownZoomMode(row.Record.ZoomMode)) row.Record.ZoomMode = TlvFilesRecord().ZoomMode;
  ForgetCutShortProgress(row);
  return row;
}

// What a save cut short by a kill left beside the file (ReplaceFileContents names its temporary
// files ".NAME.saving-PID-N"), once the process that was writing it is gone; another running
// copy's save in progress is left alone.
void RemoveAbandonedSaves(const fs::path &path) {
  for (const TLeftSave &left : LeftSaves(path)) {
    std::error_code ec;
    if (left.Writer > 0 && kill(left.Writer, 0) != 0 && errno == ESRCH) fs::remove(left.File, ec);
  }
}

}  // namespace

fs::path DefaultQueuePath() {
  return paths::StateFolder() / "queue.ini";
}

std::string QueueText(const std::vector<TConversionRow> &rows) {
  std::string text = "[" + std::string(QueueSection) + "]\n";
  text += std::string(VersionKey) + "=" + std::to_string(QueueVersion) + "\n";
  text += std::string(CountKey) + "=" + std::to_string(rows.size()) + "\n";
  for (size_t i = 0; i < rows.size(); ++i) {
    TConversionRow row = rows[i];
    ForgetCutShortProgress(row);
    text += "\n[" + RowSection(static_cast<int>(i)) + "]\n";
    TRowWriter writer(text);
    VisitRow(row, writer);
  }
  return text;
}

std::vector<TConversionRow> QueueRowsOfText(const std::string &text) {
  // Zero bytes are what a crash leaves of a file that was never written out.
  if (text.find('\0') != std::string::npos) return {};
  CSimpleIniA ini;
  ini.SetUnicode(true);
  ini.SetMultiKey(false);
  if (ini.LoadData(text.data(), text.size()) < 0) return {};
  const int count = std::clamp(IntegerText(ini.GetValue(QueueSection, CountKey, "0")).value_or(0),
                               0, MaxQueueRows);
  std::vector<TConversionRow> rows;
  for (int i = 0; i < count; ++i)
    if (const auto *keys = ini.GetSection(RowSection(i).c_str()))
      if (auto row = RowOfSection(*keys)) rows.push_back(std::move(*row));
  return rows;
}

void TQueueStore::Save(const std::vector<TConversionRow> &rows) const {
  SaveText(QueueText(rows));
}

void TQueueStore::SaveText(const std::string &text) const {
  std::error_code ec;
  if (FPath.has_parent_path() && !fs::create_directories(FPath.parent_path(), ec) && ec)
    throw std::runtime_error("cannot make the folder " + FPath.parent_path().string() + ": " +
                             ec.message());
  ReplaceFileContents(FPath, text);
}

std::vector<TConversionRow> TQueueStore::Load() const {
  RemoveAbandonedSaves(FPath);
  const TFileBytes file = ReadFileBytes(FPath, MaxQueueFileSize);
  return QueueRowsOfText(file.Bytes);
}

// The writer

TQueueWriter::TQueueWriter(TQueueStore store, std::function<void(const std::string &)> onError)
    : FStore(std::move(store)), FOnError(std::move(onError)), FThread([this] { Run(); }) {}

TQueueWriter::~TQueueWriter() {
  {
    const std::lock_guard<std::mutex> lock(FLock);
    FEnding = true;
  }
  FChanged.notify_all();
  FThread.join();
}

void TQueueWriter::Put(std::vector<TConversionRow> rows) {
  {
    const std::lock_guard<std::mutex> lock(FLock);
    FPending = std::move(rows);
  }
  FChanged.notify_all();
}

void TQueueWriter::Flush() {
  std::unique_lock<std::mutex> lock(FLock);
  FChanged.wait(lock, [this] { return !FPending && !FWriting; });
}

void TQueueWriter::Run() {
  std::unique_lock<std::mutex> lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return FPending || FEnding; });
    if (!FPending) return;  // ending, and everything is written
    const std::vector<TConversionRow> rows = std::move(*FPending);
    FPending.reset();
    FWriting = true;
    lock.unlock();
    const std::string text = QueueText(rows);
    if (text != FWritten) {
      try {
        FStore.SaveText(text);
        FWritten = text;
        FFailed = false;
      } catch (const std::exception &e) {
        if (!std::exchange(FFailed, true) && FOnError) FOnError(e.what());
      }
    }
    lock.lock();
    FWriting = false;
    FChanged.notify_all();
  }
}
