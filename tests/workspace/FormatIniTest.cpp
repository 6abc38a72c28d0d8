// The installed format INI against the catalogue and against the media libraries of this system:
// every profile, with every encoder it offers, must name a container and encoders that exist and
// fit together, as the job builder hands them to the engine.
#include <gtest/gtest.h>

#include "engine/FFFiles.h"
#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "tests/support/Fixtures.h"
#include "tests/workspace/ScriptedQuestions.h"
#include "workspace/JobBuilder.h"
#include "workspace/ParameterPanel.h"

namespace {

const std::string FormatIniPath = std::string(MORVANE_BINARY_DIR) + "/data/morvanemp4format.ini";

size_t ListSize(const std::string &list) {
  const auto items = TFormatCatalogue::SplitList(list);
  return items ? items->size() : 0;
}

TEST(FormatIni, EveryProfileHasASectionWithDefaultsInItsLists) {
  const TFormatCatalogue catalogue(FormatIniPath);
  for (int code : TFormatCatalogue::AllCodes()) {
    SCOPED_TRACE("formatInfo" + std::to_string(code));
    ASSERT_TRUE(catalogue.HasSection(code));
    const TFormatInfo f = catalogue.Read(code);
    EXPECT_FALSE(f.FileExt.empty());
    EXPECT_GT(ListSize(f.AudioEncoder), 0u);
    const std::pair<const std::string &, int> lists[] = {{f.AudioEncoder, f.iAudioEncoder},
                                                         {f.SampleRate, f.iSampleRate},
                                                         {f.Channel, f.iChannel},
                                                         {f.Volume, f.iVolume}};
    for (const auto &[list, index] : lists) EXPECT_LT(static_cast<size_t>(index), ListSize(list));
    if (f.VideoEncoder == "null") continue;
    const std::pair<const std::string &, int> videoLists[] = {{f.VideoEncoder, f.iVideoEncoder},
                                                              {f.VideoSize, f.iVideoSize},
                                                              {f.VideoBitRate, f.iVideoBitRate},
                                                              {f.FrameRate, f.iFrameRate}};
    for (const auto &[list, index] : videoLists)
      EXPECT_LT(static_cast<size_t>(index), ListSize(list));
  }
}

class FormatIniEncoders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  }

  // The muxer the engine will write with: the container the builder names, the disc target's
  // own, or the one the destination's extension selects.
  static const AVOutputFormat *Muxer(const TOutputOptions &o, const std::string &ext) {
    if (!o.FileFormat.empty()) return ff::av_guess_format(o.FileFormat.c_str(), nullptr, nullptr);
    static const char *const discs[] = {nullptr, "vcd", "svcd", "dvd"};
    if (o.TargetType >= 1 && o.TargetType <= 3)
      return ff::av_guess_format(discs[o.TargetType], nullptr, nullptr);
    return ff::av_guess_format(nullptr, ("out." + ext).c_str(), nullptr);
  }

  // The encoder of a codec name as the engine finds it (through its alias table); the container's
  // own codec for an empty name.
  static const AVCodec *Encoder(const std::string &name, AVCodecID containerDefault) {
    if (name.empty()) return ff::avcodec_find_encoder(containerDefault);
    return ff::avcodec_find_encoder_by_name(EncoderAlias(name).c_str());
  }

  static void ExpectFits(const AVOutputFormat *muxer, const AVCodec *codec,
                         const std::string &what) {
    ASSERT_NE(codec, nullptr) << what << ": no encoder";
    EXPECT_FALSE(codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) << what << ": experimental";
    EXPECT_NE(ff::avformat_query_codec(muxer, codec->id, FF_COMPLIANCE_NORMAL), 0)
        << what << ": " << codec->name << " cannot be stored in " << muxer->name;
  }
};

TEST_F(FormatIniEncoders, EveryOfferedEncoderExistsAndFitsTheContainer) {
  const TFormatCatalogue catalogue(FormatIniPath);
  const TSourceInfo source{L"/in/a.avi", "", 1, 640, 480, 1000000};
  for (int code : TFormatCatalogue::AllCodes()) {
    const TFormatInfo f = catalogue.Read(code);
    const auto videoItems = TFormatCatalogue::SplitList(f.VideoEncoder);
    const auto audioItems =
        TFormatCatalogue::SplitList(f.AudioEncoder).value_or(std::vector<std::string>{});
    const size_t combinations = std::max(videoItems ? videoItems->size() : 1, audioItems.size());
    for (size_t n = 0; n < combinations; ++n) {
      fixtures::TTempDir dir;
      TSettingsStore store(dir / "s.ini");
      TScriptedQuestions questions;
      TParameterPanel panel(catalogue, store, questions);
      TPanelState state = panel.Load(code);
      panel.Default(code, state);
      // Walk every item of both encoder lists (the shorter list repeats its last item).
      if (videoItems) {
        state.VideoEncoder.Select(static_cast<int>(std::min(n, videoItems->size() - 1)));
        panel.VideoEncoderChanged(code, state.VideoEncoder);
      }
      state.AudioEncoder.Select(static_cast<int>(std::min(n, audioItems.size() - 1)));
      panel.AudioEncoderChanged(code, state.AudioEncoder);

      TInputOptions input;
      TOutputOptions o;
      InitInputOptions(input);
      InitOutputOptions(o);
      TlvFilesRecord record;
      record.ZoomMode = "full";
      TJobBuilder(catalogue, store, questions).BuildOutputOptions(code, o, input, source, record);
      const std::string what = "formatInfo" + std::to_string(code) + " video '" +
                               state.VideoEncoder.Text + "' audio '" + state.AudioEncoder.Text +
                               "'";
      const AVOutputFormat *muxer = Muxer(o, f.FileExt);
      ASSERT_NE(muxer, nullptr) << what << ": no muxer for '" << f.Format << "' / ." << f.FileExt;
      EXPECT_EQ(videoItems.has_value(), !o.DisableVideo) << what;
      // A copy is checked against the source's codec when the job is built.
      if (!o.DisableVideo && o.VideoCodec != "copy")
        ExpectFits(muxer, Encoder(o.VideoCodec, muxer->video_codec), what);
      ASSERT_FALSE(o.DisableAudio) << what;
      if (o.AudioCodec != "copy")
        ExpectFits(muxer, Encoder(o.AudioCodec, muxer->audio_codec), what);
      EXPECT_TRUE(questions.Asked.empty() && questions.Messages.empty()) << what;
    }
  }
}

}  // namespace
