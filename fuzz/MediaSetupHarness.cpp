#include "engine/FFmpeg.h"
#include "engine/FFmpegException.h"
#include "fuzz/FuzzHarness.h"
#include "services/AVProbe.h"
#include "services/UnicodeProtocol.h"

int FuzzMediaSetup(const uint8_t *data, size_t size) {
  if (!fuzzsupport::MediaLibrariesLoaded()) return 0;
  const std::wstring file = UTF8ToWide(fuzzsupport::WriteWorkFile("media", data, size));

  TAVProbe probe;
  if (probe.LoadFile(file)) {
    // Every stream index asked as either kind (-1: the first of the kind), as the windows ask.
    for (int i = -1; i < probe.StreamCount(); ++i) {
      TVideoStreamInfo video;
      probe.GetVideoStreamInfo(i, video);
      TAudioStreamInfo audio;
      probe.GetAudioStreamInfo(i, audio);
    }
    probe.FileInfoText();
    probe.CloseFile();
  }

  TCustomFFmpeg engine;
  engine.Reset();
  try {
    engine.AddInputFile(file);
  } catch (const FFmpegException &) {
    // An input the engine refuses, in its own words.
  }
  return 0;
}
