// The option state of one engine: what the options set and the next input file, output file or
// output stream consumes.
//
// Each setting returns to its default either by itself when the thing that uses it has been made
// (ConsumeInput, ConsumeOutput, ConsumeStream) or only with InitDefaults.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "services/FFResources.h"

// Stream kinds by the libraries' media type numbers (video 0, audio 1, data 2, subtitle 3,
// attachment 4).
constexpr int MediaTypeCount = 5;

using TQuantMatrix = std::array<uint16_t, 64>;

struct TFileCloser {
  void operator()(FILE *f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<FILE, TFileCloser>;

// Generic options: names the engine's own table does not know, handed to the libraries' option
// systems.  The value lives in whichever of these contexts accepts the name; the names are kept in
// the order they were given so that they can be copied into the real contexts later.
struct TGenericOptions {
  std::vector<std::string> Names;
  // One default codec context per media type: video, audio, data, subtitle, attachment.
  std::array<TCodecCtxPtr, MediaTypeCount> Codec;
  TFormatCtxPtr Format;
  TSwsPtr Scaler;  // 16x16 -> 16x16, pixel format 0, made with the scaler flags
  // Options that only a particular codec's private class knows (libx264's "preset", "crf",
  // "x264-params", ...): no default context can hold them, so they are kept as text and set on the
  // codec context of every output stream whose encoder accepts them when the stream is created.
  std::vector<std::pair<std::string, std::string>> Private;

  // Allocates the contexts (the libraries must be loaded) and forgets every option given so far.
  void Create(int scalerFlags);
  void Free();
  bool Created() const { return Format != nullptr; }
};

struct TEngineSettings {
  TEngineSettings() = default;
  TEngineSettings(TEngineSettings &&) = default;
  TEngineSettings &operator=(TEngineSettings &&) = default;

  // Every setting to its default.  The generic option contexts are left alone (they need the
  // libraries; Reset recreates them).
  void InitDefaults();

  // Settings consumed when an input file was added successfully.
  void ConsumeInput();
  // Settings consumed when an output file was added.
  void ConsumeOutput();
  // Settings consumed when an output stream of the media type was created.
  void ConsumeStream(AVMediaType type);
  // The frame limit of a media type (subtitles and others: unlimited).
  int MaxFrames(int mediaType) const;

  // --- files
  std::string ForceFormat;  // f; consumed by the next input or output
  bool PgmyuvCompat = false;
  int FrameWidth = 0, FrameHeight = 0;  // s; inputs overwrite it
  float FrameAspectRatio = 0;           // aspect; inputs overwrite it
  int FramePixFmt = -1;                 // pix_fmt; consumed by a stream, inputs overwrite it
  int AudioSampleFmt = -1;              // sample_fmt; inputs overwrite it
  int CropTop = 0, CropBottom = 0, CropLeft = 0, CropRight = 0;
  int MaxVideoFrames = std::numeric_limits<int>::max();  // vframes
  int MaxAudioFrames = std::numeric_limits<int>::max();  // aframes
  int MaxDataFrames = std::numeric_limits<int>::max();   // dframes
  AVRational FrameRate{0, 0};                            // r; inputs overwrite it
  float VideoQScale = 0;                                 // qscale
  std::optional<TQuantMatrix> IntraMatrix, InterMatrix;
  std::string RcOverride;  // rc_override; empty = none
  bool VideoDisable = false, AudioDisable = false, SubtitleDisable = false;  // vn, an, sn
  int VideoDiscard = 0;                                                      // vdt
  // vcodec, acodec, scodec: decoder of the next input, encoder of the next stream; empty = none.
  std::string VideoCodecName, AudioCodecName, SubtitleCodecName;
  uint32_t VideoCodecTag = 0, AudioCodecTag = 0, SubtitleCodecTag = 0;  // vtag, atag, stag
  std::string VideoLanguage, AudioLanguage, SubtitleLanguage;           // vlang, alang, slang
  bool SameQuant = false;                                               // sameq
  bool DoDeinterlace = false;                                           // deinterlace
  int TopFieldFirst = -1;                                               // top
  int MeThreshold = 0;                                                  // me_threshold
  int IntraDcPrecision = 8;                                             // dc
  bool LoopInput = false;                                               // loop_input
  int LoopOutput = -1;                                                  // loop_output
  bool QpHist = false;                                                  // qphist
  std::string VFilters;                                                 // vfilters, vf
  bool IntraOnly = false;                                               // intra
  int AudioSampleRate = 44100;                                          // ar
  uint64_t ChannelLayout = 0;                                   // from the input's audio stream
  float AudioQScale = -99999.0f;                                // aq
  int AudioChannels = 2;                                        // ac
  float MuxPreload = 0.5f, MuxMaxDelay = 0.7f;                  // muxpreload, muxdelay
  int64_t RecordingTime = std::numeric_limits<int64_t>::max();  // t (µs)
  int64_t StartTime = 0;                                        // ss (µs)
  int64_t RecordingTimestamp = 0;                               // timestamp (s)
  int64_t InputTsOffset = 0;                                    // itsoffset (µs)
  std::vector<std::pair<std::string, std::string>> Metadata;    // metadata
  bool DoHexDump = false, DoPktDump = false;                    // hex, dump
  bool DoPSNR = false;                                          // psnr
  int DoPass = 0;                                               // pass
  std::string PassLogFileName;                                  // passlogfile
  bool VideoStreamCopy = false, AudioStreamCopy = false, SubtitleStreamCopy = false;
  int VideoSyncMethod = -1;          // vsync
  int AudioSyncMethod = 0;           // async
  float AudioDriftThreshold = 0.1f;  // adrift_threshold
  bool CopyTs = false;               // copyts
  bool OptShortest = false;          // shortest
  int VideoGlobalHeader = 0;         // vglobal
  std::string VStatsFileName;        // vstats, vstats_file; empty = none
  TFilePtr VStatsFile;               // opened on the first statistics line
  int ProgramId = 0;                 // programid
  int CopyInitialNonKeyframes = 0;   // copyinkf
  bool RateEmu = false;              // re
  int VideoChannel = 0;              // vc
  std::string VideoStandard;         // tvstd
  int AudioVolume = 256;             // vol
  bool ExitOnError = false;          // xerror
  bool UsingVHook = false;
  int Verbose = 1;                  // v
  int ThreadCount = 1;              // codec threads; 0 = the libraries choose
  bool InputSync = false;           // isync
  int64_t LimitFileSize = 0;        // fs (bytes)
  bool ForceFps = false;            // force_fps
  float DtsDeltaThreshold = 10.0f;  // dts_delta_threshold (s)
  int ScalerFlags = 4;              // SWS_BICUBIC

  // ar, ac and sample_fmt still hold what the last input's audio stream wrote into them (no
  // option set them since): an encoded audio stream then takes them from its own source stream,
  // which need not be that last one.
  bool AudioRateFromInput = false, AudioChannelsFromInput = false, AudioFormatFromInput = false;

  TGenericOptions Generic;

 private:
  explicit TEngineSettings(TGenericOptions &&generic);
};
