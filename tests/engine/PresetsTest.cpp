// The built-in presets are written in the old option vocabulary.  Each must apply through the
// engine's option path, and libx264 must really encode with the settings the preset asks for:
// libx264 writes the settings it used into the stream ("x264 - core ... options: cabac=1 ref=3
// ..."), which is compared here with what each preset line means.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/EnginePresets.h"
#include "engine/FFmpeg.h"
#include "engine/OptionValues.h"
#include "services/FFmpegLoader.h"

namespace {

using TSettings = std::map<std::string, std::string>;

struct TEncoded {
  TSettings Settings;  // libx264's own settings text, split into name=value
  int LevelIdc = -1;   // from the sequence parameter set
};

std::vector<uint8_t> EncodeFrames(AVCodecContext *ctx) {
  std::vector<uint8_t> bytes(ctx->extradata, ctx->extradata + ctx->extradata_size);
  TFramePtr frame(ff::av_frame_alloc());
  frame->format = ctx->pix_fmt;
  frame->width = ctx->width;
  frame->height = ctx->height;
  EXPECT_GE(ff::av_frame_get_buffer(frame.get(), 0), 0);
  TPacketPtr pkt(ff::av_packet_alloc());
  for (int i = 0; i <= 8; ++i) {
    if (i < 8) {
      ff::av_frame_make_writable(frame.get());
      for (int p = 0; p < 3; ++p)
        for (int y = 0; y < ctx->height >> (p ? 1 : 0); ++y)
          for (int x = 0; x < ctx->width >> (p ? 1 : 0); ++x)
            frame->data[p][y * frame->linesize[p] + x] = uint8_t(x * 3 + y * 2 + i * 5 + p * 40);
      frame->pts = i;
    }
    EXPECT_GE(ff::avcodec_send_frame(ctx, i < 8 ? frame.get() : nullptr), 0);
    while (ff::avcodec_receive_packet(ctx, pkt.get()) >= 0) {
      bytes.insert(bytes.end(), pkt->data, pkt->data + pkt->size);
      ff::av_packet_unref(pkt.get());
    }
  }
  return bytes;
}

TEncoded Parse(const std::vector<uint8_t> &bytes) {
  TEncoded result;
  const std::string all(bytes.begin(), bytes.end());
  const size_t core = all.find("x264 - core");
  const size_t options = all.find("options: ", core);
  if (core != std::string::npos && options != std::string::npos) {
    std::istringstream words(all.substr(options + 9, all.find('\0', options) - options - 9));
    for (std::string word; words >> word;) {
      const size_t eq = word.find('=');
      if (eq != std::string::npos) result.Settings[word.substr(0, eq)] = word.substr(eq + 1);
    }
  }
  for (size_t i = 0; i + 6 < bytes.size(); ++i)
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && (bytes[i + 3] & 0x1f) == 7) {
      result.LevelIdc = bytes[i + 6];  // after the NAL header: profile, constraints, level
      break;
    }
  return result;
}

// Opens libx264 with the generic options the engine holds, as the engine does for a video stream.
TEncoded EncodeWith(TCustomFFmpeg &engine) {
  const AVCodec *codec = ff::avcodec_find_encoder_by_name("libx264");
  TCodecCtxPtr ctx(ff::avcodec_alloc_context3(codec));
  ctx->width = 64;
  ctx->height = 48;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = {1, 25};
  ctx->framerate = {25, 1};
  engine.CopyGenericOptions(ctx.get(), engine.Settings().Generic.Codec[AVMEDIA_TYPE_VIDEO].get(),
                            AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
  const int opened = ff::avcodec_open2(ctx.get(), codec, nullptr);
  EXPECT_GE(opened, 0);
  if (opened < 0) return {};
  return Parse(EncodeFrames(ctx.get()));
}

// On / off per flag of an old "+a-b" flags value.
std::map<std::string, bool> FlagBits(const std::string &value) {
  std::map<std::string, bool> bits;
  for (size_t i = 0; i < value.size();) {
    const bool on = value[i] != '-';
    if (value[i] == '+' || value[i] == '-') ++i;
    std::string bit;
    while (i < value.size() && value[i] != '+' && value[i] != '-') bit += value[i++];
    bits[bit] = on;
  }
  return bits;
}

std::string Kilo(const std::string &bits) {
  return std::to_string(std::stoll(bits) / 1000);
}

// What a preset's lines mean in libx264's settings text.  Where libx264 overrides a setting for a
// reason of its own, the override is expected: no mixed references with one reference frame; in
// lossless mode no B-frames, no fast P-skip and, with CAVLC, no 8x8 transform; no B-frame settings
// without B-frames.  "partitions" names the partitions analysed in P and B macroblocks (the second
// "analyse" field); libx264 chooses the I-frame ones (the first) itself: 4x4, and 8x8 with the 8x8
// transform.  A switch the preset leaves out has the value the presets were written for: off for
// the 8x8 transform, B-pyramid, weighted prediction and mixed references, and no B-frames.
TSettings Expected(const TOptionsPreset &preset, int &level) {
  std::map<std::string, std::string> keys;
  for (const TOptionLine &line : SplitOptionString(preset.Options)) keys[line.Name] = line.Value;
  auto has = [&](const char *k) { return keys.count(k) > 0; };
  const auto flags2 = FlagBits(has("flags2") ? keys["flags2"] : "");
  auto flag = [&](const char *bit, bool dflt) { return flags2.count(bit) ? flags2.at(bit) : dflt; };
  const bool cabac = !has("coder") || keys["coder"] == "1";
  const bool lossless = has("cqp") && keys["cqp"] == "0";
  const int refs = has("refs") ? std::stoi(keys["refs"]) : 3;
  const int bframes = lossless ? 0 : has("bf") ? std::stoi(keys["bf"]) : 0;
  const bool dct8x8 = flag("dct8x8", false) && !(lossless && !cabac);
  TSettings e;
  e["cabac"] = cabac ? "1" : "0";
  if (has("refs")) e["ref"] = keys["refs"];
  if (has("subq")) e["subme"] = keys["subq"];
  if (has("me_method")) e["me"] = keys["me_method"];
  if (has("me_method") && keys["me_method"] != "dia" && keys["me_method"] != "hex" &&
      has("me_range"))
    e["me_range"] = keys["me_range"];
  if (has("trellis")) e["trellis"] = keys["trellis"];
  if (has("flags")) e["deblock"] = keys["flags"] == "-loop" ? "0:0:0" : "1:0:0";
  if (has("cmp")) e["chroma_me"] = "1";
  e["8x8dct"] = dct8x8 ? "1" : "0";
  e["mixed_ref"] = flag("mixed_refs", false) && refs > 1 ? "1" : "0";
  if (flags2.count("fastpskip") && !lossless) e["fast_pskip"] = flag("fastpskip", true) ? "1" : "0";
  if (flags2.count("mbtree") && !has("cqp")) e["mbtree"] = flag("mbtree", true) ? "1" : "0";
  e["weightp"] = has("wpredp") ? keys["wpredp"] : "0";
  e["bframes"] = std::to_string(bframes);
  if (bframes > 0) {
    e["weightb"] = flag("wpred", false) ? "1" : "0";
    e["b_pyramid"] = flag("bpyramid", false) && bframes > 1 ? "2" : "0";
    if (has("b_strategy")) e["b_adapt"] = keys["b_strategy"];
    if (has("directpred")) e["direct"] = keys["directpred"];
  }
  if (has("g")) e["keyint"] = keys["g"];
  if (has("keyint_min")) e["keyint_min"] = keys["keyint_min"];
  if (has("sc_threshold")) e["scenecut"] = keys["sc_threshold"];
  if (has("cqp")) {
    e["rc"] = "cqp";
    e["qp"] = keys["cqp"];
  } else {
    if (has("qmin")) e["qpmin"] = keys["qmin"];
    if (has("qmax")) e["qpmax"] = keys["qmax"];
    if (has("qdiff")) e["qpstep"] = keys["qdiff"];
    if (has("qcomp")) e["qcomp"] = "0.60";
    if (has("i_qfactor")) e["ip_ratio"] = "1.41";
  }
  if (has("b")) e["bitrate"] = Kilo(keys["b"]);
  if (has("maxrate")) e["vbv_maxrate"] = Kilo(keys["maxrate"]);
  if (has("bufsize")) e["vbv_bufsize"] = Kilo(keys["bufsize"]);
  if (has("partitions")) {
    const auto parts = FlagBits(keys["partitions"]);
    auto on = [&](const char *p) { return parts.count(p) && parts.at(p); };
    const int intra = 0x1 | (dct8x8 ? 0x2 : 0);
    const int inter = (on("parti4x4") ? 0x1 : 0) | (on("parti8x8") && dct8x8 ? 0x2 : 0) |
                      (on("partp8x8") ? 0x10 : 0) | (on("partp4x4") && on("partp8x8") ? 0x20 : 0) |
                      (on("partb8x8") ? 0x100 : 0);
    char text[32];
    snprintf(text, sizeof text, "%#x:%#x", intra, inter);  // as libx264 prints them
    e["analyse"] = text;
  }
  level = has("level") ? std::stoi(keys["level"]) : -1;
  return e;
}

class PresetsTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
    FFLogger().SetLogLevel(TLogLevel::llError);
    Engine = std::make_unique<TCustomFFmpeg>();
    Engine->Reset();
  }
  std::unique_ptr<TCustomFFmpeg> Engine;
};

std::string PresetName(const ::testing::TestParamInfo<int> &info) {
  std::string name = BuiltInPresets[info.param].Name + 8;  // without "libx264-"
  for (char &c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

TEST_P(PresetsTest, AppliesAndReachesLibx264) {
  const TOptionsPreset &preset = BuiltInPresets[GetParam()];
  Engine->SetOption("vcodec", "libx264");
  // The preset by its short name, found as "<codec>-<name>"; an unusable line would raise.
  ASSERT_NO_THROW(Engine->SetOption("vpre", preset.Name + 8));
  int level = -1;
  const TSettings expected = Expected(preset, level);
  const TEncoded encoded = EncodeWith(*Engine);
  ASSERT_FALSE(encoded.Settings.empty()) << "no x264 settings text in the stream";
  for (const auto &[name, value] : expected) {
    const auto actual = encoded.Settings.find(name);
    ASSERT_NE(actual, encoded.Settings.end()) << name << " missing (" << preset.Name << ")";
    EXPECT_EQ(actual->second, value) << name << " (" << preset.Name << ")";
  }
  if (level > 0) {
    EXPECT_EQ(encoded.LevelIdc, level);
  }
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, PresetsTest, ::testing::Range(0, BuiltInPresetCount), PresetName);

// The reference values of the default preset, written out.
TEST(PresetsReference, DefaultPresetSettings) {
  ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  TCustomFFmpeg engine;
  engine.Reset();
  engine.SetOption("vpre", "libx264-default");
  const TSettings s = EncodeWith(engine).Settings;
  const TSettings want = {{"subme", "7"},           {"ref", "3"},     {"bframes", "3"},
                          {"8x8dct", "1"},          {"weightp", "2"}, {"mixed_ref", "1"},
                          {"b_pyramid", "0"},       {"direct", "1"},  {"trellis", "1"},
                          {"deblock", "1:0:0"},     {"me", "hex"},    {"weightb", "1"},
                          {"analyse", "0x3:0x113"}, {"cabac", "1"}};
  for (const auto &[k, v] : want) EXPECT_EQ(s.count(k) ? s.at(k) : "(missing)", v) << k;
}

TEST(PresetsReference, IpodTurnsCabacOffAndKeepsLevel) {
  ASSERT_TRUE(FFLoader().LoadLibs(EncoderLibs)) << FFLoader().LastErrMsg();
  TCustomFFmpeg engine;
  engine.Reset();
  engine.SetOption("vcodec", "libx264");
  engine.SetOption("vpre", "ipod");
  const TEncoded e = EncodeWith(engine);
  EXPECT_EQ(e.Settings.at("cabac"), "0");
  // Baseline, as an iPod needs: no B-frames, no 8x8 transform, no weighted prediction.
  EXPECT_EQ(e.Settings.at("bframes"), "0");
  EXPECT_EQ(e.Settings.at("8x8dct"), "0");
  EXPECT_EQ(e.Settings.at("weightp"), "0");
  EXPECT_EQ(e.Settings.at("bitrate"), "1000");
  EXPECT_EQ(e.LevelIdc, 30);
}
