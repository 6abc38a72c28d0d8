// Turns a checked row of the conversion list into the input and output records of one encoder
// task: the profile's definition in the format INI, the user's values for the profile in the
// settings store, and the row's own edits (trim, crop, zoom, effects and watermark).
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "services/FFUtils.h"
#include "workspace/FilesRecord.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/JobQuestions.h"
#include "workspace/SettingsStore.h"

// What the media probe reports about the source, filled by the caller (so the builder needs no
// media): the probe's file name and forced format, the number of video streams and the size, bit
// rate, pixel shape, frame rate and display rotation of the stream the probe calls its video
// stream.
struct TSourceInfo {
  std::wstring FileName;
  std::string ForceFormat;
  int VideoStreamCount = 0;
  int Width = 0;
  int Height = 0;
  int64_t VideoBitRate = 0;  // bit/s; 0 = unknown
  double SampleAspect = 0;   // width of a pixel over its height as shown; 0 = unknown (square)
  double FrameRate = 0;      // frames per second; 0 = unknown
  int Rotation = 0;          // degrees the picture is turned for display
  int64_t Duration = 0;      // microseconds; 0 = unknown
  // The codecs (AVCodecID) of the streams a conversion takes, for the check of a stream copy
  // against the container; 0 = unknown or none.
  int VideoCodecId = 0;
  int AudioCodecId = 0;
  int SubtitleCodecId = 0;
};

// The source picture as the zoom step meets it: its size in pixels and the size it is shown
// with (pixels times the sample aspect), both turned a quarter when the source is displayed
// rotated by 90 or 270 degrees (the engine turns the picture before it crops and scales).
struct TSourcePicture {
  int Width = 0, Height = 0;
  double DisplayWidth = 0, DisplayHeight = 0;
  static TSourcePicture Square(int width, int height) {
    return {width, height, 1.0 * width, 1.0 * height};
  }
  // Width over height as shown; 0 when unknown.
  double DisplayAspect() const { return DisplayHeight > 0 ? DisplayWidth / DisplayHeight : 0; }
};
TSourcePicture SourcePicture(const TSourceInfo &source);

// A sample aspect ratio (width of a pixel over its height).
struct TRatio {
  int Num = 1, Den = 1;
  bool Square() const { return Num == Den; }
};

struct TJob {
  TInputOptions Input;
  TOutputOptions Output;
  std::filesystem::path Destination;
};

// Raised when the stored values of a profile cannot be used (a volume that is not a number);
// the batch is not started.
struct EJobError : EProfileValueError {
  using EProfileValueError::EProfileValueError;
};

class TJobBuilder {
 public:
  TJobBuilder(const TFormatCatalogue &catalogue, TSettingsStore &store, IJobQuestions &questions)
      : FCatalogue(catalogue), FStore(store), FQuestions(questions) {}

  // Forgets the destinations handed out so far; call once before the rows of a batch.
  void BeginBatch() { FTaken.clear(); }

  // The records of one checked row for the current profile (`FormatCode` of the settings
  // store): input file and start, destination, duration, output values and the hook switch.
  // The row's `ZoomMode` is replaced by the profile's `paraZoom`.  A profile used for the first
  // time gets its defaults written to the settings store first.  Throws std::invalid_argument
  // when the row's start lies at or past the end of a source of known duration.
  TJob BuildJob(const std::wstring &caption, TlvFilesRecord &record, const TSourceInfo &source);

  // Fills the output record (and the input's option text for audio-only profiles) from the
  // profile `formatCode`, the row's record and the probe values.
  void BuildOutputOptions(int formatCode, TOutputOptions &output, TInputOptions &input,
                          const TSourceInfo &source, const TlvFilesRecord &record);

  // Frames go through the decoration hook only when the row has colour effects or a watermark.
  static bool HookNeeded(const TlvFilesRecord &record);

 private:
  struct TProfileValues;
  static void RefuseStartBeyondEnd(const TlvFilesRecord &record, const TSourceInfo &source);
  void RefuseSourceWithoutVideo(int formatCode, const TFormatInfo &f,
                                const TSourceInfo &source) const;
  void ApplyDiscTarget(const std::string &fmt, const std::string &videoSize, TOutputOptions &o);
  void ApplyAudioValues(const TProfileValues &p, TOutputOptions &o, bool audioOnly);
  void ApplyVideoCodec(const TProfileValues &p, const TFormatInfo &f, TOutputOptions &o);
  void ApplyVideoValues(const TProfileValues &p, const TFormatInfo &f, const TSourceInfo &src,
                        const TlvFilesRecord &r, TOutputOptions &o);
  void ApplyZoom(const TFormatInfo &f, const TSourceInfo &src, const TlvFilesRecord &r, int w,
                 int h, TOutputOptions &o);
  void ApplyStreamLimits(const TProfileValues &p, const TFormatInfo &f, const TSourceInfo &src,
                         int w, int h, TOutputOptions &o);
  void ApplyH264Values(const TProfileValues &p, int w, int h, double fps, TOutputOptions &o);
  void ApplyModernEncoderValues(const TFormatInfo &f, int w, int h, double fps, TOutputOptions &o);
  static void RefuseUnfitCopy(const TFormatInfo &f, const TSourceInfo &src,
                              const TOutputOptions &o);
  void TargetSize(const TProfileValues &p, const TSourceInfo &src, const TOutputOptions &o, int &w,
                  int &h);

  const TFormatCatalogue &FCatalogue;
  TSettingsStore &FStore;
  IJobQuestions &FQuestions;
  std::set<std::filesystem::path> FTaken;
};

// The sample aspect an output frame of W x H is written with: square pixels, so that players
// that ignore the sample aspect (most portable ones) show the right shape; but the frames of a TV
// target (720 or 704 x 576 or 480) are anamorphic by definition and show 4:3, or 16:9 for a
// source wider than about 1.55.
TRatio FrameSampleAspect(const TFormatInfo &format, int w, int h, const TSourcePicture &source);

// The zoom step: from the target size W x H with its sample aspect, the source picture and the
// row's crop margins, the output's frame size, display aspect, crop bands and the filter text (in
// the filter-graph syntax of the media libraries).  Bars and cuts follow the shapes as shown, so
// the picture keeps its shape.  The encoder scales the picture to the frame size first and runs
// the filter text after that.  Sizes of 0 or less (an unknown source size) give no frame size and
// no filter, so the picture keeps the source's size instead of failing the conversion.
struct TZoomResult {
  std::string FrameSize;
  std::string AspectRatio;
  int CropTop = 0, CropBottom = 0, CropLeft = 0, CropRight = 0;
  std::string Filter;
};
TZoomResult ZoomFull(int w, int h, const TlvFilesRecord &record, TRatio sar = {});
TZoomResult ZoomLetterbox(int w, int h, const TSourcePicture &source, const TlvFilesRecord &record,
                          TRatio sar = {});
TZoomResult ZoomPanScan(int w, int h, const TSourcePicture &source, const TlvFilesRecord &record,
                        TRatio sar = {});
TZoomResult ZoomCenter(int w, int h, const TSourcePicture &source, TRatio sar = {});
