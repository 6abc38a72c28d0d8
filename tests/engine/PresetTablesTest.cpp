#include <gtest/gtest.h>

#include <map>
#include <set>

#include "engine/EnginePresets.h"
#include "engine/OptionTranslation.h"
#include "engine/OptionValues.h"
#include "engine/TargetPresets.h"

namespace {

std::map<std::string, std::string> Keys(const TOptionsPreset &preset) {
  std::map<std::string, std::string> keys;
  for (const TOptionLine &line : SplitOptionString(preset.Options)) keys[line.Name] = line.Value;
  return keys;
}

}  // namespace

TEST(BuiltInPresets, FortyLibx264PresetsInLookupOrder) {
  EXPECT_STREQ(BuiltInPresets.front().Name, "libx264-baseline");
  EXPECT_STREQ(BuiltInPresets[1].Name, "libx264-default");
  EXPECT_STREQ(BuiltInPresets[6].Name, "libx264-fastfirstpass");
  EXPECT_STREQ(BuiltInPresets[36].Name, "libx264-psp");
  EXPECT_STREQ(BuiltInPresets.back().Name, "libx264-mp4");
  std::set<std::string> names;
  for (const TOptionsPreset &p : BuiltInPresets) names.insert(p.Name);
  EXPECT_EQ(names.size(), 40u);
}

TEST(BuiltInPresets, LookupIgnoresCase) {
  ASSERT_NE(FindBuiltInPreset("LIBX264-IPOD"), nullptr);
  EXPECT_STREQ(FindBuiltInPreset("LIBX264-IPOD")->Name, "libx264-ipod");
  EXPECT_EQ(FindBuiltInPreset("ipod"), nullptr);
  EXPECT_EQ(FindBuiltInPreset("libx264-ipod "), nullptr);
}

TEST(BuiltInPresets, ReferenceTexts) {
  EXPECT_STREQ(FindBuiltInPreset("libx264-default")->Options,
               "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8"
               "\nme_method=hex\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\n"
               "i_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=3\n"
               "directpred=1\ntrellis=1\nflags2=+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2");
  EXPECT_STREQ(FindBuiltInPreset("libx264-main")->Options, "flags2=-dct8x8");
  EXPECT_STREQ(FindBuiltInPreset("libx264-ipod640")->Options,
               "coder=0\nbf=0\nrefs=1\nflags2=-wpred-dct8x8\nlevel=30\nmaxrate=10000000\n"
               "bufsize=10000000\nwpredp=0");
  EXPECT_STREQ(FindBuiltInPreset("libx264-mp4")->Options,
               FindBuiltInPreset("libx264-psp")->Options);
}

// The derived rows: the keys of libx264-default with the row's changes, in the default order.
TEST(BuiltInPresets, DerivedRowsKeepTheDefaultOrder) {
  const auto lossless = Keys(*FindBuiltInPreset("libx264-lossless_ultrafast"));
  EXPECT_EQ(lossless.count("bf") + lossless.count("refs") + lossless.count("trellis") +
                lossless.count("wpredp"),
            0u);
  EXPECT_EQ(lossless.at("cqp"), "0");
  EXPECT_EQ(lossless.at("me_method"), "dia");
  const std::string fast = FindBuiltInPreset("libx264-lossless_fast")->Options;
  EXPECT_NE(fast.find("flags2=+fastpskip\ncqp=0\nwpredp=0"), std::string::npos);
  const auto ps3 = Keys(*FindBuiltInPreset("libx264-ps3"));
  EXPECT_EQ(ps3.count("b"), 0u);
  EXPECT_EQ(ps3.at("maxrate"), "3500000");
  EXPECT_EQ(ps3.at("bt"), "256000");
  const auto ultrafast = Keys(*FindBuiltInPreset("libx264-ultrafast_firstpass"));
  EXPECT_EQ(ultrafast.at("flags"), "-loop");
  EXPECT_EQ(ultrafast.at("sc_threshold"), "0");
  EXPECT_EQ(Keys(*FindBuiltInPreset("libx264-veryslow")).at("bf"), "8");
}

TEST(OldOptionNames, TranslateToTheirCurrentForm) {
  using P = std::vector<TOptionPair>;
  struct TCase {
    const char *Name, *Value;
    P Expected;
  } cases[] = {
      {"directpred", "3", {{"direct-pred", "3"}}},
      {"cqp", "0", {{"qp", "0"}}},
      {"wpredp", "2", {{"weightp", "2"}}},
      {"flags2",
       "+mixed_refs+wpred+dct8x8+fastpskip",
       {{"mixed-refs", "1"}, {"weightb", "1"}, {"8x8dct", "1"}, {"fast-pskip", "1"}}},
      {"flags2",
       "+bpyramid-mixed_refs-wpred-dct8x8+fastpskip-mbtree",
       {{"b-pyramid", "normal"},
        {"mixed-refs", "0"},
        {"weightb", "0"},
        {"8x8dct", "0"},
        {"fast-pskip", "1"},
        {"mbtree", "0"}}},
      {"flags2", "-bpyramid", {{"b-pyramid", "none"}}},
      {"flags2", "+fast-dct8x8", {{"flags2", "+fast"}, {"8x8dct", "0"}}},
      {"partitions",
       "+parti8x8+parti4x4+partp8x8+partb8x8",
       {{"partitions", "i8x8,i4x4,p8x8,b8x8"}}},
      {"partitions",
       "-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8",
       {{"partitions", "i4x4,p8x8"}}},
      {"partitions", "-parti8x8-parti4x4-partp8x8-partb8x8", {{"partitions", "none"}}},
      {"partitions", "all", {{"partitions", "all"}}},
      {"flags", "+loop", {{"flags", "+loop"}, {"x264-params", "no-deblock=0"}}},
      {"flags", "-loop", {{"flags", "-loop"}, {"x264-params", "no-deblock=1"}}},
      {"flags", "+global_header", {{"flags", "+global_header"}}},
      {"flags", "+scan_offset", {{"scan_offset", "1"}}},
      {"flags",
       "+mv4+naq-alt",
       {{"flags", "+mv4"}, {"mpv_flags", "+naq"}, {"alternate_scan", "0"}}},
      {"me_method", "umh", {{"me_method", "umh"}}},
      {"crf", "23", {{"crf", "23"}}},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(TranslateOldOption(c.Name, c.Value), c.Expected) << c.Name << "=" << c.Value;
}

TEST(TargetPresets, SetUpsByTypeAndNorm) {
  const auto palDvd = TargetSetup("dvd", TVideoNorm::PAL);
  ASSERT_TRUE(palDvd);
  EXPECT_EQ(palDvd->VideoCodec, "mpeg2video");
  EXPECT_EQ(palDvd->AudioCodec, "ac3");
  EXPECT_EQ(palDvd->Format, "dvd");
  EXPECT_EQ(palDvd->FrameSize, "720x576");
  EXPECT_EQ(palDvd->FrameRate, "25");
  EXPECT_EQ(palDvd->GenericOptions.front(), std::make_pair(std::string("g"), std::string("15")));
  EXPECT_EQ(palDvd->SampleRate, 48000);
  EXPECT_TRUE(palDvd->MonoBecomesStereo);
  EXPECT_FLOAT_EQ(palDvd->DefaultAspect, 16.0f / 9.0f);

  const auto filmVcd = TargetSetup("vcd", TVideoNorm::FILM);
  EXPECT_EQ(filmVcd->FrameSize, "352x240");
  EXPECT_EQ(filmVcd->FrameRate, "24000/1001");
  EXPECT_EQ(filmVcd->GenericOptions.front().second, "18");
  EXPECT_EQ(filmVcd->GenericOptions.back(),
            std::make_pair(std::string("muxrate"), std::string("1411200")));
  EXPECT_FLOAT_EQ(filmVcd->MuxPreload, 0.44f);
  EXPECT_EQ(filmVcd->Channels, 2);

  EXPECT_EQ(TargetSetup("dv", TVideoNorm::NTSC)->PixelFormat, "yuv411p");
  EXPECT_EQ(TargetSetup("dv", TVideoNorm::PAL)->PixelFormat, "yuv420p");
  EXPECT_EQ(TargetSetup("dv50", TVideoNorm::NTSC)->PixelFormat, "yuv422p");
  EXPECT_TRUE(TargetSetup("dv", TVideoNorm::PAL)->GenericOptions.empty());
  EXPECT_FALSE(TargetSetup("bluray", TVideoNorm::PAL));
}

TEST(TargetPresets, NormDecisions) {
  EXPECT_EQ(NormByFrameRate({30000, 1001}), TVideoNorm::NTSC);
  EXPECT_EQ(NormByFrameRate({24000, 1001}), TVideoNorm::NTSC);
  EXPECT_EQ(NormByFrameRate({25, 1}), TVideoNorm::PAL);
  EXPECT_FALSE(NormByFrameRate({24, 1}));
  EXPECT_FALSE(NormByFrameRate({25, 0}));
  EXPECT_EQ(NormByName("film"), TVideoNorm::FILM);
  EXPECT_FALSE(NormByName("auto"));
  EXPECT_EQ(NormByDefault("ntsc"), TVideoNorm::NTSC);
  EXPECT_EQ(NormByDefault("secam"), TVideoNorm::PAL);
  EXPECT_STREQ(NormName(TVideoNorm::FILM), "NTSC");
}
