#include <gtest/gtest.h>

#include "engine/FFmpegException.h"
#include "engine/OptionValues.h"
#include "services/FFmpegLoader.h"

namespace {

// The time and size parsers are the library's own.
class OptionValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().LoadLib(TLibraryKind::avutil)) << FFLoader().LastErrMsg();
  }
};

std::string ErrorOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const FFmpegException &e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

TEST(OptionString, SplitsLinesAtTheFirstEqualSign) {
  const auto lines =
      SplitOptionString("  \tVCodec=libx264\r\nb=1000\rmetadata=title=A = B<CRLF>an\nvf=\r\n ");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].Name, "vcodec");
  EXPECT_EQ(lines[0].Value, "libx264");
  EXPECT_EQ(lines[1].Name, "b");
  EXPECT_EQ(lines[2].Name, "metadata");
  EXPECT_EQ(lines[2].Value, "title=A = B");  // the value is never trimmed or split further
  EXPECT_EQ(lines[3].Name, "an");
  EXPECT_EQ(lines[3].Value, "");
  EXPECT_EQ(lines[4].Name, "vf");
  EXPECT_EQ(lines[4].Value, "");
}

TEST(OptionString, EmptyTextHasNoLines) {
  EXPECT_TRUE(SplitOptionString(" \r\n\t").empty());
  EXPECT_EQ(NormalizeLineBreaks("a\r\n\r\nb<CRLF>c\rd"), "a\n\nb\nc\nd");
}

TEST(OptionValueKinds, SwitchIsOnUnlessExactlyZero) {
  EXPECT_TRUE(ParseSwitch(""));
  EXPECT_TRUE(ParseSwitch("1"));
  EXPECT_TRUE(ParseSwitch("00"));
  EXPECT_FALSE(ParseSwitch("0"));
}

TEST(OptionValueKinds, IntegersAndFloatsAcceptWholeTextsOnly) {
  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("-7"), -7);
  EXPECT_EQ(ParseInteger("$1F"), 31);
  EXPECT_EQ(ParseInt64("5000000000"), 5000000000LL);
  EXPECT_EQ(ErrorOf([] { ParseInteger("12k"); }), "'12k' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { ParseInteger("5000000000"); }),
            "'5000000000' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { ParseInteger(""); }), "'' is not a valid integer value");
  EXPECT_DOUBLE_EQ(ParseFloat(" 0.25 "), 0.25);
  EXPECT_DOUBLE_EQ(ParseFloat("1e3"), 1000.0);
  EXPECT_EQ(ErrorOf([] { ParseFloat("1,5"); }), "'1,5' is not a valid floating point value");
}

TEST_F(OptionValuesTest, DurationsAndDates) {
  EXPECT_EQ(ParseDuration("t", "90"), 90000000);
  EXPECT_EQ(ParseDuration("ss", "00:01:02.5"), 62500000);
  EXPECT_EQ(ErrorOf([] { ParseDuration("t", "soon"); }),
            "Invalid duration specification for t: soon");
  EXPECT_EQ(ParseDate("timestamp", "1970-01-02 00:00:00Z"), 86400LL * 1000000);
  EXPECT_EQ(ErrorOf([] { ParseDate("timestamp", "yesterday"); }),
            "Invalid date specification for timestamp: yesterday");
}

TEST_F(OptionValuesTest, RatesSizesAndAspects) {
  const AVRational ntsc = ParseFrameRate("ntsc");
  EXPECT_EQ(ntsc.num, 30000);
  EXPECT_EQ(ntsc.den, 1001);
  EXPECT_EQ(ErrorOf([] { ParseFrameRate("fast"); }), "Incorrect frame rate");
  EXPECT_EQ(ParseFrameSize("352x288"), std::make_pair(352, 288));
  EXPECT_EQ(ParseFrameSize("vga"), std::make_pair(640, 480));
  EXPECT_EQ(ErrorOf([] { ParseFrameSize("big"); }), "Incorrect frame size");
  EXPECT_FLOAT_EQ(ParseAspect("16:9"), 16.0f / 9.0f);
  EXPECT_FLOAT_EQ(ParseAspect("1.5"), 1.5f);
  for (const char *bad : {"4:0", "x:3", "0", "wide", "4:-3"})
    EXPECT_EQ(ErrorOf([&] { ParseAspect(bad); }), "Incorrect aspect ratio specification.") << bad;
}

TEST(OptionStructuredValues, StreamMaps) {
  struct TCase {
    const char *Value;
    int File, Stream, SyncFile, SyncStream;
  } cases[] = {
      {"0.1", 0, 1, 0, 1},       // the mapped stream is its own sync stream
      {"0:1:0:0", 0, 1, 0, 0},   // explicit sync stream
      {"1:0x10", 1, 16, 1, 16},  // numbers as strtol reads them with base 0
      {"010.2", 8, 2, 8, 2},     // a leading 0 is octal
      {"2", 2, 0, 2, 0},         // nothing after the file index
  };
  for (const TCase &c : cases) {
    const TStreamMapValue m = ParseStreamMap(c.Value);
    EXPECT_EQ(m.FileIndex, c.File) << c.Value;
    EXPECT_EQ(m.StreamIndex, c.Stream) << c.Value;
    EXPECT_EQ(m.SyncFileIndex, c.SyncFile) << c.Value;
    EXPECT_EQ(m.SyncStreamIndex, c.SyncStream) << c.Value;
  }
  EXPECT_EQ(ParseMetaDataMap("1:0"), std::make_pair(1, 0));
}

TEST(OptionStructuredValues, MatricesNeedSixtyFourCoefficients) {
  std::string list;
  for (int i = 1; i <= 63; ++i) list += std::to_string(i) + (i < 63 ? "," : "");
  EXPECT_EQ(ErrorOf([&] { ParseMatrix(list); }),
            "Syntax error in matrix \"" + list + "\" at coeff 62");
  const auto m64 = ParseMatrix(list + ",64");
  EXPECT_EQ(m64[0], 1);
  EXPECT_EQ(m64[63], 64);
  const auto m65 = ParseMatrix(list + ",64,65");
  EXPECT_EQ(m65[63], 64);
}

TEST(OptionStructuredValues, TagsAreFourCharactersLowByteFirst) {
  EXPECT_EQ(ParseCodecTag("video", "XVID"), 0x44495658u);
  EXPECT_EQ(ErrorOf([] { ParseCodecTag("video", "DIV"); }), "video tag parameter must be 4 chars");
  EXPECT_EQ(ErrorOf([] { ParseCodecTag("subtitle", "mp4s1"); }),
            "subtitle tag parameter must be 4 chars");
}

TEST(OptionStructuredValues, ItsScaleStreamIdAndMetadata) {
  EXPECT_EQ(ParseItsScale("1:0.5", 20), std::make_pair(1, 0.5));
  EXPECT_EQ(ErrorOf([] { ParseItsScale("20:2", 20); }), "stream index over MAX_STREAMS(20)");
  EXPECT_EQ(ErrorOf([] { ParseItsScale("-1:2", 20); }), "stream index over MAX_STREAMS(20)");
  EXPECT_EQ(ParseStreamId("streamid", "0:33"), std::make_pair(0, 33));
  for (const char *bad : {":33", "0:", "033"})
    EXPECT_EQ(ErrorOf([&] { ParseStreamId("streamid", bad); }),
              std::string("Invalid value \"") + bad +
                  "\" for option \"streamid\", required syntax is \"index:value\"");
  EXPECT_EQ(ParseMetadata("title=").first, "title");
  EXPECT_EQ(ParseMetadata("title=").second, "");
  EXPECT_EQ(ParseMetadata("comment=a=b").second, "a=b");
  EXPECT_EQ(ErrorOf([] { ParseMetadata("title"); }), "Missing =");
}

TEST(OptionStructuredValues, HookWordsAndTargets) {
  using W = std::vector<std::string>;
  EXPECT_EQ(SplitHookWords("  hook.so  -a 1 "), (W{"hook.so", "-a", "1"}));
  EXPECT_EQ(SplitHookWords("my hook.so||-t|a b"), (W{"my hook.so", "-t", "a b"}));
  EXPECT_EQ(SplitHookWords("a b c", 2), (W{"a", "b"}));
  EXPECT_EQ(ParseTargetValue(" pal-dvd ").Type, "dvd");
  EXPECT_EQ(ParseTargetValue("pal-dvd").Norm, "pal");
  EXPECT_EQ(ParseTargetValue("film-dv50").Norm, "film");
  EXPECT_EQ(ParseTargetValue("vcd").Norm, "auto");
  EXPECT_EQ(ParseTargetValue("secam-vcd").Type, "secam-vcd");
}
