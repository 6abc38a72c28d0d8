#include <string_view>

#include "fuzz/FuzzHarness.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/JobBuilder.h"
#include "workspace/ParameterPanel.h"
#include "workspace/SettingsStore.h"

namespace {

// Nobody to ask: every question gets its default answer, as in an unattended batch.
class TQuietQuestions : public IJobQuestions {
 public:
  bool AskYesNo(const std::string &, const std::string &) override { return true; }
  void ShowMessage(const std::string &, const std::string &) override {}
};

}  // namespace

int FuzzProfileFiles(const uint8_t *data, size_t size) {
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const size_t cut = input.find(kSectionBreak);
  const std::string_view settings = input.substr(0, cut);
  const std::string_view format =
      cut == std::string_view::npos ? std::string_view() : input.substr(cut + 8);
  TSettingsStore store(
      fuzzsupport::WriteWorkFile("settings.ini", settings.data(), settings.size()));
  const TFormatCatalogue catalogue(
      fuzzsupport::WriteWorkFile("format.ini", format.data(), format.size()));
  TQuietQuestions questions;

  // The profile the store names, as the window and the converter take it.
  int code = store.FormatCode();
  if (TFormatCatalogue::ProfileName(code).empty()) code = 401;
  // Whatever folder the damaged store names, the job writes nothing outside the work folder.
  store.SetOutPutDir(fuzzsupport::WorkFolder() + "/out");
  try {
    TParameterPanel panel(catalogue, store, questions);
    TPanelState state = panel.Load(code);
    panel.Default(code, state);
    panel.Load(code);

    TJobBuilder builder(catalogue, store, questions);
    builder.BeginBatch();
    TlvFilesRecord record;
    record.SourceFile = fuzzsupport::WorkFolder() + "/source.mp4";
    TSourceInfo source;
    source.FileName = L"source.mp4";
    source.VideoStreamCount = 1;
    source.Width = 640;
    source.Height = 480;
    source.FrameRate = 25;
    builder.BuildJob(L"source.mp4", record, source);
  } catch (const EProfileValueError &) {
    // A damaged value reported in words with its file, profile and key.
  }
  return 0;
}
