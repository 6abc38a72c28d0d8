// Option records of a conversion task and their translation into engine option calls.
//
// A host fills one TInputOptions per input and one TOutputOptions per output; the procedures here
// turn every field and every line of the records' free option text into calls of the engine's
// option interface, in a fixed order: the engine's options act on the next file or stream, and a
// later setting overrides an earlier one.  They talk to the engine through TOptionTarget only, so
// that this unit needs no engine; TTaskOptionTarget (below) binds it to an engine task.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

// The libraries' "no timestamp" value (AV_NOPTS_VALUE): a time that is not set.
inline constexpr int64_t NoTimestamp = std::numeric_limits<int64_t>::min();

struct TInputOptions {
  std::wstring FileName;
  std::string FileFormat;           // f
  int64_t StartTime = NoTimestamp;  // ss, microseconds
  int ProgramID = -1;               // programid; negative = not set
  std::string ExtOptions;           // name=value lines
};

// Metadata of one output.
struct TStreamInfo {
  double Timestamp = -1.0;  // local date-time in days since 1899-12-30; 0 = now; < 0 = none
  int Year = -1;
  int Track = -1;
  std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TOutputOptions {
  std::wstring FileName;
  std::string FileFormat;          // f
  int PacketSize = -1;             // packetsize
  int MuxRate = -1;                // muxrate
  float MuxDelay = -1.0f;          // muxdelay, seconds
  float MuxPreload = -1.0f;        // muxpreload, seconds
  std::string AudioCodec;          // acodec
  std::string AudioPreset;         // apre
  bool DisableAudio = false;       // an
  int AudioVolume = -1;            // vol
  int AudioChannels = -1;          // ac
  int AudioSampleRate = -1;        // ar
  int AudioBitrate = -1;           // ab
  int AudioBitrateTolerance = -1;  // abt
  std::string AudioLanguage;       // alang
  int AudioSync = 0;               // async
  std::string AudioTag;            // atag, four characters
  std::string VideoCodec;          // vcodec
  std::string VideoPreset;         // vpre
  bool DisableVideo = false;       // vn
  std::string FrameRate;           // r
  std::string FrameSize;           // s
  std::string AspectRatio;         // aspect
  int CropTop = -1, CropBottom = -1, CropLeft = -1, CropRight = -1;
  int GOPSize = -1;                 // g
  int VideoBitrate = -1;            // vb
  int VideoMaxRate = -1;            // maxrate
  int VideoMinRate = -1;            // minrate
  int VideoBitrateTolerance = -1;   // bt
  int VideoBufSize = -1;            // bufsize
  int VideoSync = -1;               // vsync; -1 = automatic
  std::string VideoTag;             // vtag, four characters
  std::string VideoFilters;         // vf
  std::string VideoLanguage;        // vlang
  std::string SubtitleCodec;        // scodec
  std::string SubtitlePreset;       // spre
  bool DisableSubtitle = false;     // sn
  std::string SubtitleLanguage;     // slang
  bool InputSync = false;           // isync
  bool CopyTimestamps = false;      // copyts
  int64_t StartTime = NoTimestamp;  // ss, microseconds
  int64_t Duration = NoTimestamp;   // t, microseconds
  TStreamInfo Metadata;
  int TargetType = 0;        // 1 vcd, 2 svcd, 3 dvd; else none
  int TargetNorm = 0;        // 0 auto, 1 pal, 2 ntsc; else auto
  int DefaultNorm = 1;       // 1 pal; else ntsc
  bool HookEnabled = false;  // frames of the task go through the host's hook
  bool Join = false;         // all inputs of the task go into this output
  std::string ExtOptions;    // name=value lines
};

void InitInputOptions(TInputOptions &options);
void InitOutputOptions(TOutputOptions &options);

// One line of option text: the name lower-cased, the value as written.
struct TOptionLine {
  std::string Name;
  std::string Value;
};

// Splits option text into lines ("<CRLF>" and every line break end a line).
std::vector<TOptionLine> ParseOptionText(const std::string &text);

// The entries one SetOutputFile call collects: "def_<option>" for the options of the output's
// first streams, then the stream options of the option text that the extra streams take in turn.
class TDefaultsList {
 public:
  // Value of the first entry of that name; empty when there is none.
  std::string Value(const std::string &name) const;
  // Sets the first entry of that name, or appends one; an empty value removes the entry.
  void SetValue(const std::string &name, const std::string &value);
  void Add(const std::string &name, const std::string &value);
  // Removes the first entry of that name and hands its value out; False when there is none.
  bool Take(const std::string &name, std::string &value);
  const std::vector<TOptionLine> &Entries() const { return FEntries; }

 private:
  std::vector<TOptionLine> FEntries;
};

// The engine operations the records are translated into (a task's option interface).  Every
// operation may throw the engine's exception; the procedures below let it pass at once.
class TOptionTarget {
 public:
  virtual ~TOptionTarget() = default;
  // The engine's option table: (name, value) as on its command line.
  virtual void SetOption(const std::string &name, const std::string &value) = 0;
  // Options handed to the libraries' option systems.
  virtual bool ApplyGenericOption(const std::string &name, const std::string &value) = 0;
  virtual void ApplyPreset(const std::string &kind, const std::string &value) = 0;
  virtual void ApplyTarget(const std::string &type, const std::string &norm,
                           const std::string &defaultNorm) = 0;
  virtual void AddMetadata(const std::string &key, const std::string &value) = 0;
  // Direct setters.
  virtual void SetForceFormat(const std::string &format) = 0;  // f
  virtual void SetStartTime(int64_t us) = 0;                   // ss
  virtual void SetRecordingTime(int64_t us) = 0;               // t
  virtual void SetRecordingTimestamp(int64_t seconds) = 0;     // timestamp
  virtual void SetProgramID(int id) = 0;                       // programid
  virtual void SetAudioVolume(int volume) = 0;                 // vol
  virtual void SetAudioChannels(int channels) = 0;             // ac
  virtual void SetAudioSampleRate(int rate) = 0;               // ar
  virtual void SetAudioSync(int method) = 0;                   // async
  virtual void SetVideoSync(int method) = 0;                   // vsync
  virtual void SetMuxDelay(float seconds) = 0;                 // muxdelay
  virtual void SetMuxPreload(float seconds) = 0;               // muxpreload
  // Routes the task's decoded frames through the host's frame hook.
  virtual void EnableCustomHook() = 0;
};

// Passes the lines of ExtOptions to SetOption.  The stream options of the extra streams ("new..."
// lines, presets, filters) are never passed.  An input passes the codec names (withCodecNames:
// they choose its decoders); an output passes neither them nor the frame size, which reach the
// engine through the defaults list.
void ApplyOptionText(TOptionTarget &task, const std::string &text, bool withCodecNames);

// Before the input is opened.
void ApplyInputOptions(TOptionTarget &task, const TInputOptions &options);
// Before the output is added; fills defaults and returns the join flag for adding the output.
bool ApplyOutputOptions(TOptionTarget &task, const TOutputOptions &options,
                        TDefaultsList &defaults);
// After the output was added: the extra streams of the option text, with the same defaults.
void AddExtraStreams(TOptionTarget &task, const TOutputOptions &options, TDefaultsList &defaults);

// Binds the procedures above to a task of the transcoding engine (TCustomFFmpeg or a subclass).
// A template, so that this unit needs no engine: the component that links the engine
// instantiates it.  InstallHook points the task's frame hook at the component.
template <class TTask>
class TTaskOptionTarget final : public TOptionTarget {
 public:
  using THookInstaller = std::function<void(TTask &)>;
  explicit TTaskOptionTarget(TTask &task, THookInstaller installHook = {})
      : FTask(task), FInstallHook(std::move(installHook)) {}

  void SetOption(const std::string &name, const std::string &value) override {
    FTask.SetOption(name, value);
  }
  bool ApplyGenericOption(const std::string &name, const std::string &value) override {
    return FTask.ApplyGenericOption(name, value);
  }
  void ApplyPreset(const std::string &kind, const std::string &value) override {
    FTask.ApplyPreset(kind, value);
  }
  void ApplyTarget(const std::string &type, const std::string &norm,
                   const std::string &defaultNorm) override {
    FTask.ApplyTarget(type, norm, defaultNorm);
  }
  void AddMetadata(const std::string &key, const std::string &value) override {
    FTask.AddMetadata(key, value);
  }
  void SetForceFormat(const std::string &format) override { FTask.SetForceFormat(format); }
  void SetStartTime(int64_t us) override { FTask.SetStartTime(us); }
  void SetRecordingTime(int64_t us) override { FTask.SetRecordingTime(us); }
  // The engine has no setter of its own for the recording date: the "timestamp" option would
  // need the seconds written out as a date text first.
  void SetRecordingTimestamp(int64_t seconds) override {
    FTask.Settings().RecordingTimestamp = seconds;
  }
  void SetProgramID(int id) override { FTask.SetProgramId(id); }
  void SetAudioVolume(int volume) override { FTask.SetAudioVolume(volume); }
  void SetAudioChannels(int channels) override { FTask.SetAudioChannels(channels); }
  void SetAudioSampleRate(int rate) override { FTask.SetAudioRate(rate); }
  void SetAudioSync(int method) override { FTask.SetAudioSync(method); }
  void SetVideoSync(int method) override { FTask.SetVideoSync(method); }
  void SetMuxDelay(float seconds) override { FTask.SetMuxDelay(seconds); }
  void SetMuxPreload(float seconds) override { FTask.SetMuxPreload(seconds); }
  void EnableCustomHook() override {
    if (FInstallHook) FInstallHook(FTask);
  }

 private:
  TTask &FTask;
  THookInstaller FInstallHook;
};

// Minutes to add to local standard time to get UTC (daylight saving time not included).
int TimeZoneBias();
// Seconds since 1970-01-01 UTC of a local date-time (days since 1899-12-30), standard time.
int64_t DateTimeToUnixTime(double dateTime);
// The current moment as a local standard date-time, so that DateTimeToUnixTime gives it back.
double CurrentDateTime();
