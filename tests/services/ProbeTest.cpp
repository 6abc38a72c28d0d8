#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "services/AVProbe.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "services/TextFormat.h"
#include "services/UnicodeProtocol.h"
#include "tests/support/Fixtures.h"

namespace {

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
    lines.push_back(text.substr(start, pos - start));
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return lines;
}

// The first line that starts with the prefix, or "".
std::string LineStarting(const std::string &text, const std::string &prefix) {
  for (const std::string &line : Lines(text))
    if (line.rfind(prefix, 0) == 0) return line;
  return "";
}

// The value of a rate item such as ", 29.97 fps" or ", 90k tbn" in a stream line; -1 when absent.
double RateShown(const std::string &line, const std::string &name) {
  const size_t end = line.find(" " + name + ",");
  if (end == std::string::npos) return -1;
  const size_t begin = line.rfind(", ", end) + 2;
  const std::string number = line.substr(begin, end - begin);
  const bool thousands = number.back() == 'k';
  return std::stod(number) * (thousands ? 1000 : 1);
}

double Fraction(const std::string &text) {
  const size_t slash = text.find('/');
  return std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1));
}

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

std::string TimeText(double seconds) {
  const int64_t ms = llround(seconds * 1000000) / 1000;  // truncated to milliseconds
  char buf[32];
  snprintf(buf, sizeof buf, "%.2d:%.2d:%.2d.%.3d", int(ms / 3600000), int(ms / 60000 % 60),
           int(ms / 1000 % 60), int(ms % 1000));
  return buf;
}

// MPEG-2 video at 29.97 fps and MP2 audio with only a language tag, in a transport stream
// (1/90000 time base, one program, stream ids).
std::string TransportStream() {
  return fixtures::Make(
      "probe-2997.ts",
      "-f lavfi -i testsrc=size=160x120:rate=30000/1001:duration=1 -f lavfi -i sine=duration=1 "
      "-c:v mpeg2video -c:a mp2 -metadata:s:a:0 language=ger");
}

// MPEG-4 video and a subtitle stream in Matroska, with a raw ID3v2 frame name among the tags.
std::string MatroskaWithSubtitles() {
  fixtures::TTempDir dir;
  std::ofstream(dir / "subs.srt") << "1\n00:00:00,000 --> 00:00:00,500\nHello\n\n"
                                     "2\n00:00:00,500 --> 00:00:01,000\nWorld\n";
  return fixtures::Make("probe-subs.mkv",
                        "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -i " +
                            fixtures::Quote(dir / "subs.srt") +
                            " -c:v mpeg4 -c:s srt -metadata:s:s:0 language=eng "
                            "-metadata TIT2=Hello -metadata comment=Two -fflags +bitexact");
}

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  }

  void Load(const std::string &file, const std::string &format = "") {
    ASSERT_TRUE(Probe.LoadFile(UTF8ToWide(file), format)) << Probe.LastErrMsg();
  }

  TAVProbe Probe;
};

}  // namespace

TEST(ProbeWithoutLibraries, RefusesToOpenAnything) {
  if (FFLoader().LibLoaded(TLibraryKind::avcodec))
    GTEST_SKIP() << "an earlier test of this process loaded the libraries";
  TAVProbe probe;
  try {
    probe.LoadFile(L"/tmp/none.mp4");
    FAIL() << "no exception";
  } catch (const EAVProbeError &e) {
    EXPECT_STREQ(e.what(), "LibAVCodec not loaded.");
  }
  EXPECT_THROW(probe.AttachContext(nullptr), EAVProbeError);
}

TEST_F(ProbeTest, AnEmptyProbeAnswersWithUnknownValues) {
  EXPECT_EQ(Probe.StreamCount(), -1);
  EXPECT_EQ(Probe.FileSize(), -1);
  EXPECT_EQ(Probe.VideoStreamIndex(), -1);

  TVideoStreamInfo video;
  video.Width = 7;
  video.CodecName = "stale";
  Probe.GetVideoStreamInfo(-1, video);
  EXPECT_EQ(Probe.LastErrMsg(), "file not loaded.");
  EXPECT_EQ(video.Width, -1);
  EXPECT_EQ(video.Height, -1);
  EXPECT_EQ(video.FrameRateNum, -1);
  EXPECT_EQ(video.DisplayAspectRatio, -1.0f);
  EXPECT_EQ(video.Rotation, -1);
  EXPECT_TRUE(video.CodecName.empty());

  TFileStreamInfo file;
  Probe.GetFileStreamInfo(file);
  EXPECT_EQ(file.Duration, -1);
  EXPECT_EQ(file.Timestamp, -1);
  EXPECT_EQ(Probe.FileInfoText(), "");
  EXPECT_FALSE(Probe.IsAudioStream(0));
  EXPECT_EQ(Probe.LastErrMsg(), "file not loaded.");
}

TEST_F(ProbeTest, ReadsAnMp4WithH264AndAac) {
  const std::string file = fixtures::Clip();
  Load(file);
  EXPECT_EQ(Probe.FormatName(), "mov,mp4,m4a,3gp,3g2,mj2");
  EXPECT_EQ(Probe.FileName(), UTF8ToWide(file));
  EXPECT_EQ(Probe.StreamCount(), 2);
  EXPECT_EQ(Probe.ProgramCount(), 0);
  EXPECT_EQ(Probe.VideoStreamCount(), 1);
  EXPECT_EQ(Probe.AudioStreamCount(), 1);
  EXPECT_EQ(Probe.SubtitleStreamCount(), 0);
  EXPECT_EQ(Probe.VideoStreamIndex(), 0);
  EXPECT_EQ(Probe.AudioStreamIndex(), 1);
  EXPECT_EQ(Probe.SubtitleStreamIndex(), -1);
  EXPECT_TRUE(Probe.IsVideoStream(0));
  EXPECT_TRUE(Probe.IsAudioStream(1));
  EXPECT_FALSE(Probe.IsAudioStream(0));

  TVideoStreamInfo video;
  Probe.GetVideoStreamInfo(-1, video);
  EXPECT_EQ(video.CodecName, "h264(H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10)");
  EXPECT_EQ(video.Width, 320);
  EXPECT_EQ(video.Height, 240);
  EXPECT_FLOAT_EQ(video.DisplayAspectRatio, 4.0f / 3.0f);
  EXPECT_EQ(video.PixelFormat, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(video.FrameRateNum, 25);
  EXPECT_EQ(video.FrameRateDen, 1);
  EXPECT_EQ(video.StartTime, 0);
  EXPECT_EQ(video.Duration, 2000000);
  EXPECT_EQ(std::to_string(video.BitRate), fixtures::Probe(file, "stream=bit_rate", "v:0"));

  TAudioStreamInfo audio;
  Probe.GetAudioStreamInfo(-1, audio);
  EXPECT_EQ(audio.CodecName, "aac(AAC (Advanced Audio Coding))");
  EXPECT_EQ(audio.Channels, 2);
  EXPECT_EQ(audio.SampleRate, 44100);
  EXPECT_EQ(audio.SampleFormat, AV_SAMPLE_FMT_FLTP);
  EXPECT_EQ(audio.Language, "und");
  EXPECT_EQ(std::to_string(audio.BitRate), fixtures::Probe(file, "stream=bit_rate", "a:0"));
  EXPECT_EQ(audio.RawDuration, std::stoll(fixtures::Probe(file, "stream=duration_ts", "a:0")));

  TFileStreamInfo info;
  Probe.GetFileStreamInfo(info);
  EXPECT_EQ(info.StartTime, 0);
  EXPECT_EQ(info.Timestamp, 0);
  EXPECT_EQ(info.Year, 0);
  EXPECT_EQ(info.Track, 0);
  EXPECT_EQ(std::to_string(info.BitRate), fixtures::Probe(file, "format=bit_rate"));
  EXPECT_EQ(Probe.FileSize(), std::stoll(fixtures::Probe(file, "format=size")));
}

// Every number that both FileInfoText and ffprobe show, for each kind of fixture.
TEST_F(ProbeTest, DescriptionAgreesWithFfprobe) {
  const std::string files[] = {fixtures::Clip(), fixtures::AudioMp3(), TransportStream(),
                               MatroskaWithSubtitles()};
  for (const std::string &file : files) {
    SCOPED_TRACE(file);
    Load(file);
    const std::string text = Probe.FileInfoText();
    if (getenv("SHOW_INFO")) printf("%s\n", text.c_str());
    const double duration = std::stod(fixtures::Probe(file, "format=duration"));
    const long long bitRate = std::stoll(fixtures::Probe(file, "format=bit_rate"));
    const long long size = std::stoll(fixtures::Probe(file, "format=size"));
    EXPECT_EQ(LineStarting(text, "File Name: "), "File Name: " + file);
    EXPECT_EQ(LineStarting(text, "Format Name: "),
              "Format Name: " + fixtures::Probe(file, "format=format_name"));
    EXPECT_EQ(LineStarting(text, "Format Long Name: "),
              "Format Long Name: " + fixtures::Probe(file, "format=format_long_name"));
    EXPECT_EQ(LineStarting(text, "Duration: "), "Duration: " + TimeText(duration));
    EXPECT_EQ(LineStarting(text, "StartTime: "),
              "StartTime: " + fixtures::Probe(file, "format=start_time"));
    EXPECT_EQ(LineStarting(text, "Bit Rate: "),
              "Bit Rate: " + std::to_string(bitRate / 1000) + " kb/s");
    EXPECT_EQ(LineStarting(text, "File Size: "), "File Size: " + FormatFileSize(size));

    for (int i = 0; i < Probe.StreamCount(); ++i) {
      const std::string index = std::to_string(i);
      const auto probe = [&](const char *entry) {
        // Streams of a program are listed twice; the first answer is enough.
        const std::string answer = fixtures::Probe(file, std::string("stream=") + entry, index);
        return answer.substr(0, answer.find('\n'));
      };
      const std::string type = probe("codec_type"), timeBase = probe("time_base"),
                        start = probe("start_time");
      const std::string line = LineStarting(text, "Stream #" + index);
      ASSERT_FALSE(line.empty()) << index;
      EXPECT_TRUE(Contains(line, ", " + timeBase + ": ")) << line;
      if (start != "N/A") {
        EXPECT_TRUE(Contains(line, ", StartTime: " + start + ",")) << line;
      }
      if (type != "video") continue;
      EXPECT_NEAR(RateShown(line, "fps"), Fraction(probe("avg_frame_rate")), 0.005) << line;
      EXPECT_NEAR(RateShown(line, "tbr"), Fraction(probe("r_frame_rate")), 0.005) << line;
      EXPECT_NEAR(RateShown(line, "tbn"), 1 / Fraction(timeBase), 0.005) << line;
    }
  }
}

TEST_F(ProbeTest, VideoRatesAndProgramsOfATransportStream) {
  const std::string file = TransportStream();
  Load(file);
  const std::string text = Probe.FileInfoText();
  const std::vector<std::string> lines = Lines(text);
  EXPECT_EQ(Probe.ProgramCount(), 1);

  const auto program = std::find(lines.begin(), lines.end(), "Program 1 FFmpeg@Service01");
  ASSERT_NE(program, lines.end()) << text;
  ASSERT_GE(lines.end() - program, 6);
  EXPECT_EQ(program[1], "  Metadata:");
  EXPECT_EQ(program[2], "    service_name    : Service01");
  EXPECT_EQ(program[3], "    service_provider: FFmpeg");
  const std::string video = program[4];
  EXPECT_EQ(video.rfind("Stream #0[0x100], 1/90000: Video: mpeg2video", 0), 0u) << video;
  EXPECT_TRUE(Contains(video, ", 29.97 fps, 29.97 tbr, 90k tbn")) << video;
  EXPECT_TRUE(Contains(
      video, ", Duration: " + TimeText(std::stod(fixtures::Probe(file, "stream=duration", "v:0")))))
      << video;
  // The audio stream's only tag is its language: shown in the stream line, no tag block.
  EXPECT_EQ(program[5].rfind("Stream #1[0x101](ger), 1/90000: Audio: mp2", 0), 0u) << program[5];
  EXPECT_EQ(program + 6, lines.end());

  TAudioStreamInfo audio;
  Probe.GetAudioStreamInfo(1, audio);
  EXPECT_EQ(audio.Language, "ger");
  EXPECT_EQ(audio.RawStartTime, std::stoll(fixtures::Probe(file, "stream=start_pts", "a:0")));
  TVideoStreamInfo info;
  Probe.GetVideoStreamInfo(-1, info);
  EXPECT_EQ(info.FrameRateNum, 30000);
  EXPECT_EQ(info.FrameRateDen, 1001);
}

TEST_F(ProbeTest, DisplayRotationAsAClockwiseTurn) {
  // The ffmpeg tool's "rotate" tag turns counter-clockwise; the probe reports the clockwise turn
  // that shows the picture upright, as players apply it.
  const struct { int Tag, Clockwise; } cases[] = {{0, 0}, {90, 270}, {180, 180}, {270, 90}};
  for (const auto &c : cases) {
    Load(fixtures::CornerClip(c.Tag));
    TVideoStreamInfo info;
    Probe.GetVideoStreamInfo(-1, info);
    EXPECT_EQ(info.Rotation, c.Clockwise) << "rotate=" << c.Tag;
    EXPECT_EQ(info.Width, 64) << "the coded size stays as stored";
    const std::string line = LineStarting(Probe.FileInfoText(), "Stream #0");
    EXPECT_EQ(Contains(line, ", Rotation: "), c.Clockwise != 0) << line;
    if (c.Clockwise) {
      EXPECT_TRUE(Contains(line, FormatText(", Rotation: %d,", c.Clockwise))) << line;
    }
  }
}

TEST_F(ProbeTest, CoverArtIsNotAVideoStream) {
  Load(fixtures::CoverArtMp3());
  EXPECT_EQ(Probe.StreamCount(), 2);
  EXPECT_EQ(Probe.AudioStreamCount(), 1);
  EXPECT_EQ(Probe.VideoStreamCount(), 0);
  EXPECT_EQ(Probe.VideoStreamIndex(), -1);
  EXPECT_FALSE(Probe.IsVideoStream(1));
  TVideoStreamInfo video;
  Probe.GetVideoStreamInfo(1, video);
  EXPECT_EQ(Probe.LastErrMsg(), "stream #1 is not video stream.");
  const std::string line = LineStarting(Probe.FileInfoText(), "Stream #1");
  EXPECT_TRUE(Contains(line, "Video: mjpeg")) << line;
  EXPECT_TRUE(Contains(line, " (cover art)")) << line;
}

TEST_F(ProbeTest, WholeRatesAndTheirThousands) {
  Load(fixtures::Clip(1.0, 160, 120, 25));
  const std::string video = LineStarting(Probe.FileInfoText(), "Stream #0");
  EXPECT_EQ(video.rfind("Stream #0[0x1](und), 1/12800: Video: h264", 0), 0u) << video;
  EXPECT_TRUE(Contains(video, ", 25 fps, 25 tbr, 12800 tbn, 50 tbc, ")) << video;
}

TEST_F(ProbeTest, TagsOfAnMp3) {
  const std::string file = fixtures::Make(
      "probe-tags.mp3",
      "-f lavfi -i sine=duration=1 -c:a libmp3lame -id3v2_version 3 -metadata title=Tone "
      "-metadata artist=Morvane -metadata album=Fixtures -metadata date=2009 "
      "-metadata track=3/12 -metadata genre=Test -metadata copyright=Nobody");
  Load(file);
  TFileStreamInfo info;
  Probe.GetFileStreamInfo(info);
  EXPECT_EQ(info.Title, "Tone");
  EXPECT_EQ(info.Author, "Morvane");
  EXPECT_EQ(info.Album, "Fixtures");
  EXPECT_EQ(info.Genre, "Test");
  EXPECT_EQ(info.Copyright, "Nobody");
  EXPECT_EQ(info.Comment, "");
  EXPECT_EQ(info.Year, 2009);
  EXPECT_EQ(info.Track, 3);

  const std::string text = Probe.FileInfoText();
  EXPECT_TRUE(Contains(text, "\r\nMetadata:\r\n  title           : Tone\r\n")) << text;
  EXPECT_TRUE(Contains(text, "\r\n  artist          : Morvane\r\n")) << text;
  TAudioStreamInfo audio;
  Probe.GetAudioStreamInfo(-1, audio);
  EXPECT_EQ(audio.CodecName, "mp3float(MP3 (MPEG audio layer 3))");
  TVideoStreamInfo video;
  Probe.GetVideoStreamInfo(-1, video);
  EXPECT_EQ(Probe.LastErrMsg(), "no video stream.");
}

TEST_F(ProbeTest, SubtitleStreamsAndTheStreamMessages) {
  Load(MatroskaWithSubtitles());
  EXPECT_EQ(Probe.SubtitleStreamCount(), 1);
  EXPECT_EQ(Probe.SubtitleStreamIndex(), 1);
  EXPECT_EQ(Probe.AudioStreamCount(), 0);

  struct TCase {
    bool Audio;
    int Index;
    const char *Message;
  };
  const TCase cases[] = {
      {true, -1, "no audio stream."},
      {true, 5, "stream index #5 is invalid."},
      {true, 0, "stream #0 is not audio stream."},
      {false, 1, "stream #1 is not video stream."},
      {false, 2, "stream index #2 is invalid."},
  };
  for (const TCase &c : cases) {
    TAudioStreamInfo audio;
    TVideoStreamInfo video;
    if (c.Audio)
      Probe.GetAudioStreamInfo(c.Index, audio);
    else
      Probe.GetVideoStreamInfo(c.Index, video);
    EXPECT_EQ(Probe.LastErrMsg(), c.Message);
    EXPECT_EQ(audio.Channels, -1);
    EXPECT_EQ(video.Width, -1);
  }
  EXPECT_FALSE(Probe.IsVideoStream(-1));
  EXPECT_EQ(Probe.LastErrMsg(), "stream index #-1 is invalid.");
  EXPECT_FALSE(Probe.IsAudioStream(2));
  EXPECT_EQ(Probe.LastErrMsg(), "stream index #2 is invalid.");

  const std::string text = Probe.FileInfoText();
  EXPECT_TRUE(Contains(text,
                       "\r\nMetadata:\r\n  encoder         : Lavf\r\n"
                       "  title           : Hello\r\n  COMMENT         : Two\r\n"))
      << text;
  EXPECT_EQ(LineStarting(text, "Stream #1"),
            "Stream #1(eng), 1/1000: Subtitle: subrip, "
            "StartTime: 0.000000, Duration: 00:00:01.000");
}

TEST_F(ProbeTest, FileSizeFormat) {
  struct TCase {
    int64_t Bytes;
    const char *Text;
  };
  const TCase cases[] = {{1024, "1024 Byte"},  {1025, "1.00 KB"},          {1048576, "1024.00 KB"},
                         {1048577, "1.00 MB"}, {1073741824, "1024.00 MB"}, {1073741825, "1.00 GB"}};
  for (const TCase &c : cases) EXPECT_EQ(FormatFileSize(c.Bytes), c.Text);

  // The same through a real file: raw 8-bit samples open at any size.
  fixtures::TTempDir dir;
  for (const TCase &c : cases) {
    if (c.Bytes > 1048577) break;
    const std::string file = dir / ("raw" + std::to_string(c.Bytes) + ".u8");
    std::ofstream(file, std::ios::binary) << std::string(c.Bytes, '\x80');
    Load(file, "u8");
    EXPECT_EQ(Probe.ForceFormat(), "u8");
    EXPECT_EQ(Probe.FileSize(), c.Bytes);
    EXPECT_EQ(LineStarting(Probe.FileInfoText(), "File Size: "),
              std::string("File Size: ") + c.Text);
  }
}

TEST_F(ProbeTest, FailedLoadsLeaveTheProbeEmpty) {
  ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);  // the Cyrillic name goes through "unicode:"
  fixtures::TTempDir dir;
  std::ofstream(dir / "notes.txt") << std::string(4096, '\x01');
  struct TCase {
    std::string File, Format, Message;
  };
  const TCase cases[] = {
      {fixtures::Clip(), "nosuchformat", "Unknown input format: nosuchformat"},
      {dir / "missing.mp4", "", dir / "missing.mp4" + ": No such file or directory"},
      {dir / "нет.mp4", "", dir / "нет.mp4" + ": No such file or directory"},
      {dir / "notes.txt", "", dir / "notes.txt" + ": Invalid data found when processing input"},
  };
  for (const TCase &c : cases) {
    Load(fixtures::Clip());
    EXPECT_FALSE(Probe.LoadFile(UTF8ToWide(c.File), c.Format));
    EXPECT_EQ(Probe.LastErrMsg(), c.Message);
    EXPECT_EQ(Probe.StreamCount(), -1);
    EXPECT_EQ(Probe.Context(), nullptr);
    EXPECT_EQ(Probe.ForceFormat(), "");
  }
}

TEST_F(ProbeTest, OpensNamesTheLocaleCannotSpell) {
  ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
  fixtures::TTempDir dir;
  const std::string file = dir / "видео.mp4";
  std::filesystem::copy_file(fixtures::Clip(), file);
  Load(file);
  EXPECT_EQ(Probe.FileName(), UTF8ToWide(file));
  EXPECT_EQ(Probe.FileSize(), static_cast<int64_t>(std::filesystem::file_size(file)));
  EXPECT_EQ(LineStarting(Probe.FileInfoText(), "File Name: "), "File Name: " + file);
}

TEST_F(ProbeTest, RecordingTimeIsShownInLocalStandardTime) {
  // Central Europe: UTC+1, and UTC+2 in summer, which the description leaves out.
  struct TZone {
    TZone() {
      setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
      tzset();
    }
    ~TZone() {
      unsetenv("TZ");
      tzset();
    }
  } zone;
  Load(fixtures::Make("probe-dated.mp4",
                      "-f lavfi -i testsrc=size=64x48:duration=0.2 -c:v mpeg4 "
                      "-metadata creation_time=2010-05-01T12:00:00Z"));
  TFileStreamInfo info;
  Probe.GetFileStreamInfo(info);
  EXPECT_EQ(info.Timestamp, 1272715200);
  EXPECT_EQ(LineStarting(Probe.FileInfoText(), "Time Stamp: "), "Time Stamp: 2010-05-01 13:00:00");
}

TEST_F(ProbeTest, AttachedContextsStayWithTheirOwner) {
  AVFormatContext *ic = ff::avformat_alloc_context();
  ASSERT_NE(ic, nullptr);
  AVStream *st = ff::avformat_new_stream(ic, nullptr);
  st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  st->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
  st->time_base = AVRational{0, 0};
  st->start_time = 5;
  st->duration = 7;

  Probe.AttachContext(ic);
  EXPECT_EQ(Probe.StreamCount(), 1);
  EXPECT_EQ(Probe.AudioStreamIndex(), 0);
  EXPECT_EQ(Probe.FileSize(), 0);
  TAudioStreamInfo audio;
  Probe.GetAudioStreamInfo(-1, audio);
  EXPECT_EQ(audio.RawStartTime, 5);
  EXPECT_EQ(audio.StartTime, 5000000);
  EXPECT_EQ(audio.Duration, 7000000);
  EXPECT_EQ(st->time_base.num, 1);
  EXPECT_EQ(st->time_base.den, 1);

  Probe.CloseFile();
  EXPECT_EQ(Probe.StreamCount(), -1);
  EXPECT_EQ(ic->nb_streams, 1u);  // still whole: the probe did not free it
  ff::avformat_free_context(ic);
}

TEST(CodecNames, StreamsWithoutADecoder) {
  ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  struct TCase {
    AVCodecID Id;
    uint32_t Tag;
    const char *Name;
  };
  const TCase cases[] = {
      {AV_CODEC_ID_MPEG2TS, 0, "mpeg2ts"},
      {AV_CODEC_ID_NONE, MKTAG('a', 'b', 'c', 'd'), "abcd / 0x64636261"},
      {AV_CODEC_ID_NONE, 0x0002, "0x0002"},
      {AV_CODEC_ID_PCM_S16LE, 0, "pcm_s16le(PCM signed 16-bit little-endian)"},
  };
  for (const TCase &c : cases) {
    AVStream st = {};
    AVCodecParameters par = {};
    par.codec_id = c.Id;
    par.codec_tag = c.Tag;
    st.codecpar = &par;
    EXPECT_EQ(CodecNameOf(&st), c.Name);
  }
}
