#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/FFmpeg.h"
#include "services/FFUtils.h"
#include "services/FFmpegLoader.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Fixtures.h"

namespace {

// A task that writes down every call it receives, in order, as "Operation(arguments)".
class TRecordingTask : public TOptionTarget {
 public:
  std::vector<std::string> Calls;
  std::string FailOn;  // a call that throws as the engine does on a bad value

  void SetOption(const std::string &name, const std::string &value) override {
    Add("SetOption(" + name + "=" + value + ")");
  }
  bool ApplyGenericOption(const std::string &name, const std::string &value) override {
    Add("Generic(" + name + "=" + value + ")");
    return true;
  }
  void ApplyPreset(const std::string &kind, const std::string &value) override {
    Add("Preset(" + kind + "=" + value + ")");
  }
  void ApplyTarget(const std::string &type, const std::string &norm,
                   const std::string &defaultNorm) override {
    Add("Target(" + type + "," + norm + "," + defaultNorm + ")");
  }
  void AddMetadata(const std::string &key, const std::string &value) override {
    Add("Metadata(" + key + "=" + value + ")");
  }
  void SetForceFormat(const std::string &format) override { Add("Format(" + format + ")"); }
  void SetStartTime(int64_t us) override { Add("StartTime(" + std::to_string(us) + ")"); }
  void SetRecordingTime(int64_t us) override { Add("RecordingTime(" + std::to_string(us) + ")"); }
  void SetRecordingTimestamp(int64_t seconds) override {
    Timestamp = seconds;
    Add("Timestamp");
  }
  void SetProgramID(int id) override { Add("ProgramID(" + std::to_string(id) + ")"); }
  void SetAudioVolume(int v) override { Add("Volume(" + std::to_string(v) + ")"); }
  void SetAudioChannels(int v) override { Add("Channels(" + std::to_string(v) + ")"); }
  void SetAudioSampleRate(int v) override { Add("SampleRate(" + std::to_string(v) + ")"); }
  void SetAudioSync(int v) override { Add("AudioSync(" + std::to_string(v) + ")"); }
  void SetVideoSync(int v) override { Add("VideoSync(" + std::to_string(v) + ")"); }
  void SetMuxDelay(float v) override { Add("MuxDelay(" + std::to_string(v) + ")"); }
  void SetMuxPreload(float v) override { Add("MuxPreload(" + std::to_string(v) + ")"); }
  void EnableCustomHook() override { Add("Hook"); }

  int64_t Timestamp = 0;

  bool Has(const std::string &call) const {
    return std::find(Calls.begin(), Calls.end(), call) != Calls.end();
  }
  std::vector<std::string> Only(const std::string &prefix) const;

 private:
  void Add(const std::string &call) {
    Calls.push_back(call);
    if (call == FailOn) throw std::runtime_error("Incorrect frame rate");
  }
};

using TCalls = std::vector<std::string>;

// The calls that start with the prefix, in order.
TCalls Only(const TCalls &calls, const std::string &prefix) {
  TCalls result;
  for (const std::string &c : calls)
    if (c.rfind(prefix, 0) == 0) result.push_back(c);
  return result;
}

TCalls TRecordingTask::Only(const std::string &prefix) const {
  return ::Only(Calls, prefix);
}

// The calls an output record makes: before the output is added, and for its extra streams.
struct TOutputRun {
  TRecordingTask Task;
  TDefaultsList Defaults;
  bool Join = false;
  size_t CallsBeforeOutput = 0;

  explicit TOutputRun(const TOutputOptions &o) {
    Join = ApplyOutputOptions(Task, o, Defaults);
    CallsBeforeOutput = Task.Calls.size();
    AddExtraStreams(Task, o, Defaults);
  }
  TCalls Before() const {
    return TCalls(Task.Calls.begin(), Task.Calls.begin() + CallsBeforeOutput);
  }
  TCalls Extra() const { return TCalls(Task.Calls.begin() + CallsBeforeOutput, Task.Calls.end()); }
};

TOutputOptions Output(const std::string &extOptions = "") {
  TOutputOptions o;
  InitOutputOptions(o);
  o.ExtOptions = extOptions;
  return o;
}

class TZone {
 public:
  explicit TZone(const char *tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TZone() {
    unsetenv("TZ");
    tzset();
  }
};

}  // namespace

TEST(OptionText, LinesNamesAndValues) {
  struct TCase {
    std::string Text;
    std::vector<std::pair<std::string, std::string>> Lines;
  };
  const TCase cases[] = {
      {"acodec=aac<CRLF>ab=128", {{"acodec", "aac"}, {"ab", "128"}}},
      {"  \r\n a=1\r\nb=2\rc=3\nd=4 \t\r\n", {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
      {"vf=scale=320:240", {{"vf", "scale=320:240"}}},
      {"VFilters=x<CRLF>VCodec=LibX264", {{"vfilters", "x"}, {"vcodec", "LibX264"}}},
      {"newaudio<CRLF>newvideo=", {{"newaudio", ""}, {"newvideo", ""}}},
      {"a = 1<CRLF><CRLF>b=", {{"a ", " 1"}, {"", ""}, {"b", ""}}},
      {"title=A<CRLF>B", {{"title", "A"}, {"b", ""}}},
      {"x=1<CRLF>", {{"x", "1"}}},
      {"", {}},
  };
  for (const TCase &c : cases) {
    std::vector<std::pair<std::string, std::string>> lines;
    for (const TOptionLine &l : ParseOptionText(c.Text)) lines.emplace_back(l.Name, l.Value);
    EXPECT_EQ(lines, c.Lines) << c.Text;
  }
}

TEST(OptionRecords, InitRestoresTheDefaults) {
  TInputOptions in;
  in.FileName = L"x";
  in.StartTime = 5;
  in.ProgramID = 3;
  InitInputOptions(in);
  EXPECT_TRUE(in.FileName.empty());
  EXPECT_EQ(in.StartTime, NoTimestamp);
  EXPECT_EQ(in.ProgramID, -1);

  TOutputOptions out;
  out.VideoSync = 0;
  out.DefaultNorm = 2;
  out.Metadata.Timestamp = 5;
  out.Metadata.Title = "t";
  out.AudioSync = 3;
  InitOutputOptions(out);
  EXPECT_EQ(out.VideoSync, -1);
  EXPECT_EQ(out.AudioSync, 0);
  EXPECT_EQ(out.DefaultNorm, 1);
  EXPECT_EQ(out.TargetType, 0);
  EXPECT_EQ(out.Duration, NoTimestamp);
  EXPECT_EQ(out.MuxDelay, -1.0f);
  EXPECT_EQ(out.Metadata.Timestamp, -1.0);
  EXPECT_EQ(out.Metadata.Year, -1);
  EXPECT_TRUE(out.Metadata.Title.empty());
}

// A default record passes only what is passed "always".
TEST(OptionRecords, ADefaultOutputPassesOnlyTheUnconditionalFields) {
  TOutputRun run(Output());
  EXPECT_EQ(run.Task.Calls,
            (TCalls{"SetOption(alang=)", "AudioSync(0)", "VideoSync(-1)", "SetOption(vlang=)",
                    "SetOption(slang=)", "SetOption(isync=0)"}));
  EXPECT_FALSE(run.Join);
}

TEST(OptionRecords, EveryFieldInItsPlace) {
  TOutputOptions o = Output("newvideo=<CRLF>flags=+qpel<CRLF>s=160x120");
  o.FileFormat = "mp4";
  o.PacketSize = 2324;
  o.MuxRate = 1411200;
  o.MuxDelay = 0.5f;
  o.MuxPreload = 0.25f;
  o.AudioCodec = "aac";
  o.AudioPreset = "hq";
  o.DisableAudio = true;
  o.AudioVolume = 512;
  o.AudioChannels = 2;
  o.AudioSampleRate = 48000;
  o.AudioBitrate = 128000;
  o.AudioBitrateTolerance = 1000;
  o.AudioLanguage = "eng";
  o.AudioSync = 1;
  o.AudioTag = "mp4a";
  o.VideoCodec = "libx264";
  o.VideoPreset = "ipod";
  o.DisableVideo = true;
  o.FrameRate = "25";
  o.FrameSize = "320x240";
  o.AspectRatio = "4:3";
  o.CropTop = 2;
  o.CropBottom = 4;
  o.CropLeft = 6;
  o.CropRight = 8;
  o.GOPSize = 250;
  o.VideoBitrate = 800000;
  o.VideoMaxRate = 900000;
  o.VideoMinRate = 100000;
  o.VideoBitrateTolerance = 5000;
  o.VideoBufSize = 4000000;
  o.VideoSync = 1;
  o.VideoTag = "avc1";
  o.VideoFilters = "hflip";
  o.VideoLanguage = "deu";
  o.SubtitleCodec = "mov_text";
  o.SubtitlePreset = "sp";
  o.DisableSubtitle = true;
  o.SubtitleLanguage = "fra";
  o.InputSync = true;
  o.CopyTimestamps = true;
  o.StartTime = 1500000;
  o.Duration = 3000000;
  o.Metadata.Year = 2010;
  o.Metadata.Track = 3;
  o.Metadata.Title = "T";
  o.Metadata.Author = "A";
  o.Metadata.Copyright = "C";
  o.Metadata.Comment = "N";
  o.Metadata.Album = "L";
  o.Metadata.Genre = "G";
  o.TargetType = 3;
  o.TargetNorm = 1;
  o.DefaultNorm = 2;
  o.HookEnabled = true;
  o.Join = true;

  TOutputRun run(o);
  const TCalls expected = {
      "Target(dvd,pal,ntsc)",
      "SetOption(acodec=aac)",
      "SetOption(vcodec=libx264)",
      "SetOption(scodec=mov_text)",
      "Preset(apre=hq)",
      "Preset(vpre=ipod)",
      "Preset(spre=sp)",
      "SetOption(flags=+qpel)",
      "Format(mp4)",
      "Generic(packetsize=2324)",
      "Generic(muxrate=1411200)",
      "MuxDelay(0.500000)",
      "MuxPreload(0.250000)",
      "SetOption(an=1)",
      "Volume(512)",
      "Channels(2)",
      "SampleRate(48000)",
      "Generic(ab=128000)",
      "Generic(abt=1000)",
      "SetOption(alang=eng)",
      "AudioSync(1)",
      "SetOption(atag=mp4a)",
      "SetOption(vn=1)",
      "SetOption(r=25)",
      "SetOption(aspect=4:3)",
      "SetOption(croptop=2)",
      "SetOption(cropbottom=4)",
      "SetOption(cropleft=6)",
      "SetOption(cropright=8)",
      "Generic(g=250)",
      "Generic(vb=800000)",
      "Generic(maxrate=900000)",
      "Generic(minrate=100000)",
      "Generic(bt=5000)",
      "Generic(bufsize=4000000)",
      "VideoSync(1)",
      "SetOption(vtag=avc1)",
      "SetOption(vlang=deu)",
      "SetOption(sn=1)",
      "SetOption(slang=fra)",
      "SetOption(isync=1)",
      "SetOption(copyts=1)",
      "StartTime(1500000)",
      "RecordingTime(3000000)",
      "Metadata(year=2010)",
      "Metadata(track=3)",
      "Metadata(title=T)",
      "Metadata(author=A)",
      "Metadata(copyright=C)",
      "Metadata(comment=N)",
      "Metadata(album=L)",
      "Metadata(genre=G)",
      "SetOption(s=320x240)",
      "SetOption(vf=hflip)",
      "Hook",
      // The extra video stream takes the text's own frame size and the record's codec and preset.
      "SetOption(vcodec=libx264)",
      "SetOption(vpre=ipod)",
      "SetOption(s=160x120)",
      "SetOption(vf=hflip)",
      "SetOption(newvideo=)",
  };
  EXPECT_EQ(run.Task.Calls, expected);
  EXPECT_TRUE(run.Join);
}

TEST(OptionRecords, CodecOfTheTextServesWhenTheFieldIsEmpty) {
  TOutputRun fromText(Output("acodec=aac<CRLF>ab=128"));
  EXPECT_EQ(fromText.Task.Only("SetOption(a"),
            (TCalls{"SetOption(acodec=aac)", "SetOption(ab=128)", "SetOption(alang=)"}));

  TOutputOptions o = Output("acodec=aac<CRLF>ab=128<CRLF>newaudio=");
  o.AudioCodec = "mp2";
  TOutputRun fromField(o);
  EXPECT_EQ(Only(fromField.Before(), "SetOption(acodec"), (TCalls{"SetOption(acodec=mp2)"}));
  // The text's line stayed in the list for the extra audio stream.
  EXPECT_EQ(fromField.Extra(), (TCalls{"SetOption(acodec=aac)", "SetOption(newaudio=)"}));
}

TEST(OptionRecords, ExtraStreamsTakeTheirOptionsInTurn) {
  TOutputRun audio(Output("newaudio=<CRLF>acodec=mp2<CRLF>newaudio="));
  EXPECT_EQ(Only(audio.Before(), "SetOption(acodec"), (TCalls{"SetOption(acodec=mp2)"}))
      << "before the output: the line is the default of the main stream";
  EXPECT_EQ(audio.Extra(), (TCalls{"SetOption(acodec=mp2)", "SetOption(newaudio=)",
                                   "SetOption(acodec=mp2)", "SetOption(newaudio=)"}));

  TOutputOptions o = Output("scodec=dvdsub<CRLF>newsubtitle=1<CRLF>scodec=srt<CRLF>newsubtitle");
  o.SubtitleCodec = "mov_text";
  o.SubtitlePreset = "sp";
  TOutputRun subtitles(o);
  EXPECT_EQ(subtitles.Extra(),
            (TCalls{"SetOption(scodec=dvdsub)", "SetOption(spre=sp)", "SetOption(newsubtitle=1)",
                    "SetOption(scodec=srt)", "SetOption(spre=sp)", "SetOption(newsubtitle=)"}));

  // VFilters lines feed "vf"; a stream option with an empty value is not an entry at all.
  TOutputRun video(Output("VFilters=hflip<CRLF>vcodec=<CRLF>NewVideo=<CRLF>newvideo="));
  EXPECT_TRUE(video.Task.Has("SetOption(vf=hflip)"));
  EXPECT_EQ(video.Extra(), (TCalls{"SetOption(vf=hflip)", "SetOption(newvideo=)",
                                   "SetOption(vf=hflip)", "SetOption(newvideo=)"}));
  EXPECT_EQ(video.Defaults.Entries().size(), 1u) << "def_vf stays";
}

TEST(OptionRecords, InputTextPassesCodecNamesOutputTextDoesNot) {
  const std::string text =
      "acodec=mp3<CRLF>s=320x240<CRLF>apre=x<CRLF>vf=hflip<CRLF>"
      "newvideo=<CRLF>threads=2<CRLF>Title=Keep Case";
  TInputOptions in;
  InitInputOptions(in);
  in.ExtOptions = text;
  in.FileFormat = "mpegts";
  in.StartTime = 2000000;
  in.ProgramID = 0;
  TRecordingTask input;
  ApplyInputOptions(input, in);
  EXPECT_EQ(input.Calls, (TCalls{"SetOption(acodec=mp3)", "SetOption(s=320x240)",
                                 "SetOption(threads=2)", "SetOption(title=Keep Case)",
                                 "Format(mpegts)", "StartTime(2000000)", "ProgramID(0)"}));

  InitInputOptions(in);
  TRecordingTask bare;
  ApplyInputOptions(bare, in);
  EXPECT_TRUE(bare.Calls.empty());

  TRecordingTask output;
  ApplyOptionText(output, text, false);
  EXPECT_EQ(output.Calls, (TCalls{"SetOption(threads=2)", "SetOption(title=Keep Case)"}));
}

TEST(OptionRecords, TargetsAndNorms) {
  struct TCase {
    int Type, Norm, DefaultNorm;
    const char *Call;  // nullptr: no target
  };
  const TCase cases[] = {
      {1, 0, 1, "Target(vcd,auto,pal)"},
      {2, 7, 1, "Target(svcd,auto,pal)"},
      {3, 2, 0, "Target(dvd,ntsc,ntsc)"},
      {1, 1, 5, "Target(vcd,pal,ntsc)"},
      {0, 1, 1, nullptr},
      {4, 1, 1, nullptr},
      {-1, 1, 1, nullptr},
  };
  for (const TCase &c : cases) {
    TOutputOptions o = Output();
    o.TargetType = c.Type;
    o.TargetNorm = c.Norm;
    o.DefaultNorm = c.DefaultNorm;
    TOutputRun run(o);
    EXPECT_EQ(run.Task.Only("Target"), c.Call ? TCalls{c.Call} : TCalls{}) << c.Type;
    if (c.Call) {
      EXPECT_EQ(run.Task.Calls.front(), c.Call) << "a target comes before everything else";
    }
  }
}

TEST(OptionRecords, UnsetValuesAreNotPassedButAutomaticSyncIs) {
  TOutputOptions o = Output();
  o.AudioVolume = 0;
  o.CropTop = 0;
  o.AudioChannels = 0;
  TOutputRun zero(o);
  EXPECT_TRUE(zero.Task.Has("Volume(0)")) << "0 is a volume";
  EXPECT_FALSE(zero.Task.Has("SetOption(croptop=0)"));
  EXPECT_FALSE(zero.Task.Has("Channels(0)"));

  TOutputRun unset(Output());
  EXPECT_TRUE(unset.Task.Has("VideoSync(-1)"));
  EXPECT_TRUE(unset.Task.Only("Volume").empty());
  EXPECT_TRUE(unset.Task.Only("StartTime").empty());
  EXPECT_TRUE(unset.Task.Only("RecordingTime").empty());
  EXPECT_TRUE(unset.Task.Only("Generic").empty());
  EXPECT_TRUE(unset.Task.Only("Preset").empty());
}

TEST(OptionRecords, MetadataTimestampAndTags) {
  TOutputOptions none = Output();
  none.Metadata.Year = 0;
  none.Metadata.Track = 0;
  TOutputRun unset(none);
  EXPECT_TRUE(unset.Task.Only("Timestamp").empty());
  EXPECT_TRUE(unset.Task.Only("Metadata").empty());

  TOutputOptions now = Output();
  now.Metadata.Timestamp = 0;
  TOutputRun current(now);
  ASSERT_TRUE(current.Task.Has("Timestamp"));
  EXPECT_NEAR(double(current.Task.Timestamp), double(time(nullptr)), 2.0);
}

TEST(OptionRecords, CurrentTimeIsWrittenAsItIsEvenInSummer) {
  // Whether or not daylight saving time is in effect today, "now" comes back as now.
  const TZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_NEAR(double(DateTimeToUnixTime(CurrentDateTime())), double(time(nullptr)), 2.0);
}

TEST(OptionRecords, TimestampsUseTheStandardBias) {
  struct TCase {
    const char *Zone;
    int Bias;
  };
  // 2010-05-01 13:00:00 local (days since 1899-12-30), a date with daylight saving in Europe and
  // America: the bias leaves it out all the same.
  const double localDateTime = 25569 + 14730 + 13.0 / 24;
  const TCase cases[] = {{"UTC0", 0}, {"CET-1CEST,M3.5.0,M10.5.0/3", -60}, {"EST5EDT", 300}};
  for (const TCase &c : cases) {
    const TZone zone(c.Zone);
    EXPECT_EQ(TimeZoneBias(), c.Bias) << c.Zone;
    EXPECT_EQ(DateTimeToUnixTime(localDateTime), 1272718800 + c.Bias * 60) << c.Zone;
  }
  const TZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  TOutputOptions o = Output();
  o.Metadata.Timestamp = localDateTime;
  TOutputRun run(o);
  EXPECT_EQ(run.Task.Timestamp, 1272715200);  // 12:00:00 UTC
}

TEST(OptionRecords, AnEngineErrorStopsTheRecordAtOnce) {
  TOutputOptions o = Output();
  o.FrameRate = "x";
  o.AspectRatio = "4:3";
  o.Duration = 1000000;
  TRecordingTask task;
  task.FailOn = "SetOption(r=x)";
  TDefaultsList defaults;
  EXPECT_THROW(ApplyOutputOptions(task, o, defaults), std::runtime_error);
  EXPECT_EQ(task.Calls.back(), "SetOption(r=x)");
  EXPECT_FALSE(task.Has("SetOption(aspect=4:3)"));
  EXPECT_TRUE(task.Only("RecordingTime").empty());
}

// The same records through the real engine: what its settings hold afterwards.
class OptionRecordsOnTheEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    Task.Reset();
    ASSERT_TRUE(Task.AddInputFile(UTF8ToWide(fixtures::Clip()))) << Task.LastError();
  }
  TCustomFFmpeg Task;
  bool HookInstalled = false;
  TTaskOptionTarget<TCustomFFmpeg> Target{Task, [this](TCustomFFmpeg &) { HookInstalled = true; }};
};

TEST_F(OptionRecordsOnTheEngine, DiscTargetAfterA25FpsInput) {
  const TZone zone("UTC0");
  TOutputOptions o = Output("acodec=aac<CRLF>ab=128000<CRLF>VFilters=hflip");
  o.TargetType = 2;
  o.TargetNorm = 7;                        // auto: the input's 25 fps make it PAL
  o.DefaultNorm = 0;                       // ntsc, not needed here
  o.Metadata.Timestamp = 25569 + 14730.5;  // 2010-05-01 12:00:00
  o.Metadata.Year = 0;
  o.Metadata.Title = "T";
  o.HookEnabled = true;
  TDefaultsList defaults;
  EXPECT_FALSE(ApplyOutputOptions(Target, o, defaults));

  const TEngineSettings &s = Task.Settings();
  EXPECT_EQ(s.FrameWidth, 480);
  EXPECT_EQ(s.FrameHeight, 576);
  EXPECT_EQ(s.VideoCodecName, "mpeg2video");
  EXPECT_EQ(s.AudioCodecName, "aac");  // the text's codec replaces the disc's mp2
  EXPECT_EQ(s.VFilters, "hflip");
  EXPECT_EQ(s.AudioVolume, 256);
  EXPECT_EQ(s.VideoSyncMethod, -1);
  EXPECT_EQ(s.RecordingTimestamp, 1272715200);
  EXPECT_EQ(s.Metadata, (std::vector<std::pair<std::string, std::string>>{{"title", "T"}}));
  EXPECT_TRUE(HookInstalled);
}

TEST_F(OptionRecordsOnTheEngine, EngineErrorsReachTheCaller) {
  TOutputOptions o = Output();
  o.FrameRate = "fast";
  o.VideoTag = "avc1";
  TDefaultsList defaults;
  try {
    ApplyOutputOptions(Target, o, defaults);
    FAIL() << "no exception";
  } catch (const FFmpegException &e) {
    EXPECT_STREQ(e.what(), "Incorrect frame rate");
  }
  EXPECT_EQ(Task.Settings().VideoCodecTag, 0u) << "nothing after the failing field";
}
