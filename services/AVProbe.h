// Media probe: opens a media file with the demuxer library (or binds to a context somebody else
// opened) and answers questions about it: size, duration, bit rate, tags, its streams, and a
// description text in the style of the libraries' own format dump.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "services/FFResources.h"

// Raised by LoadFile and AttachContext when a library the probe needs is not loaded.
struct EAVProbeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TFileStreamInfo {
  int64_t StartTime = -1;  // microseconds
  int64_t Duration = -1;   // microseconds
  int BitRate = -1;        // bit/s
  int64_t Timestamp = -1;  // seconds since 1970-01-01 UTC
  int Year = -1;
  int Track = -1;
  std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TAudioStreamInfo {
  std::string Language;
  std::string CodecName;
  int64_t RawStartTime = -1;  // stream time-base units
  int64_t StartTime = -1;     // microseconds
  int64_t RawDuration = -1;
  int64_t Duration = -1;
  int BitRate = -1;
  int Channels = -1;
  int SampleRate = -1;
  int SampleFormat = -1;  // AVSampleFormat
};

struct TVideoStreamInfo {
  std::string Language;
  std::string CodecName;
  int64_t RawStartTime = -1;
  int64_t StartTime = -1;
  int64_t RawDuration = -1;
  int64_t Duration = -1;
  int BitRate = -1;
  int Height = -1;  // coded picture height (height comes first)
  int Width = -1;
  float DisplayAspectRatio = -1.0f;
  int PixelFormat = -1;  // AVPixelFormat
  int FrameRateNum = -1;
  int FrameRateDen = -1;
  // Clockwise turn in degrees (0, 90, 180 or 270) that shows the picture upright, from the
  // stream's display matrix; 0 when the stream has none.
  int Rotation = -1;
};

// Name of a stream's codec as descriptions show it: "name(long name)" of the decoder, or what the
// stream itself says about its codec.  Shared with the engine's stream descriptions.
std::string CodecNameOf(const AVStream *st);

// The kind of a stream as hosts and the engine's mapping see it: the stream's media type, except
// that a picture attached to a sound file (cover art) is an attachment, not a video stream.
int StreamKindOf(const AVStream *st);  // AVMediaType

// Clockwise turn in degrees (0, 90, 180 or 270) that a stream's display matrix asks for, to the
// nearest quarter turn; 0 without a display matrix.  Shared with the engine, which applies it.
int DisplayRotationOf(const AVStream *st);

// "%.2d:%.2d:%.2d.%.3d" of a time in microseconds, "N/A" when it is negative.
std::string FormatMediaTime(int64_t us);

// "%d Byte", "%.2f KB", "%.2f MB" or "%.2f GB".
std::string FormatFileSize(int64_t bytes);

class TCustomAVProbe {
 public:
  TCustomAVProbe();
  virtual ~TCustomAVProbe();
  TCustomAVProbe(const TCustomAVProbe &) = delete;
  TCustomAVProbe &operator=(const TCustomAVProbe &) = delete;

  // Opens a file; FormatName forces a demuxer.  False with LastErrMsg set on failure.
  bool LoadFile(const std::wstring &FileName, const std::string &FormatName = "");
  // Binds to a context that its owner keeps open for as long as the probe is used.
  virtual void AttachContext(AVFormatContext *context);
  // Releases the file (closes it only when LoadFile opened it).
  virtual void CloseFile();

  void GetFileStreamInfo(TFileStreamInfo &info);
  // Index < 0: the first stream of the kind.
  void GetAudioStreamInfo(int Index, TAudioStreamInfo &info);
  void GetVideoStreamInfo(int Index, TVideoStreamInfo &info);
  bool IsAudioStream(int Index);
  bool IsVideoStream(int Index);

  std::string FileInfoText();
  std::wstring FileName() const;
  std::string FormatName() const;

  const std::string &LastErrMsg() const { return FLastErrMsg; }
  const std::string &ForceFormat() const { return FForceFormat; }
  AVFormatContext *Context() const { return FContext; }
  int64_t FileSize() const { return FFileSize; }
  int StreamCount() const { return FStreamCount; }
  int ProgramCount() const { return FProgramCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int AudioStreamIndex() const { return FAudioStreamIndex; }
  int VideoStreamIndex() const { return FVideoStreamIndex; }
  int SubtitleStreamIndex() const { return FSubtitleStreamIndex; }

 protected:
  virtual void ParseStreams();

 private:
  void CheckLibraries() const;
  void ReportError(const std::string &msg);
  // The checks and messages shared by IsAudioStream and IsVideoStream (type: AVMediaType).
  bool IsStreamOfType(int index, int type);
  void ReportWarning(const std::string &msg);
  void ReleaseContext();
  int64_t ContextFileSize() const;
  // Steps 2 to 5 shared by the audio and video queries; the stream or nullptr after a report.
  AVStream *CheckedStream(int &Index, bool audio);
  void FillTimes(AVStream *st, int64_t &rawStart, int64_t &start, int64_t &rawDuration,
                 int64_t &duration);
  std::string StreamLine(int index) const;
  static void AppendTagBlock(std::string &text, const AVDictionary *tags, const char *prefix);

  AVFormatContext *FContext = nullptr;  // the file, owned or not
  TInputCtxPtr FOwned;                  // set when LoadFile opened it
  std::string FLastErrMsg;
  std::string FForceFormat;
  int64_t FFileSize = -1;
  int FStreamCount = -1;
  int FProgramCount = -1;
  int FAudioStreamCount = -1;
  int FVideoStreamCount = -1;
  int FSubtitleStreamCount = -1;
  int FAudioStreamIndex = -1;
  int FVideoStreamIndex = -1;
  int FSubtitleStreamIndex = -1;
};

// The class hosts instantiate.
class TAVProbe : public TCustomAVProbe {};
