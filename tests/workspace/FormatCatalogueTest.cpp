#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/Fixtures.h"
#include "workspace/FormatCatalogue.h"
#include "workspace/ProfileList.h"

namespace {

using Items = std::vector<std::string>;

TEST(FormatCatalogue, CategoriesProfilesAndCodes) {
  EXPECT_EQ(TFormatCatalogue::Categories().size(), 32u);
  EXPECT_EQ(TFormatCatalogue::AllCodes().size(), 130u);
  EXPECT_EQ(static_cast<int>(TFormatCatalogue::Categories().size()),
            TFormatCatalogue::CategoryCount);
  EXPECT_EQ(static_cast<int>(TFormatCatalogue::AllCodes().size()), TFormatCatalogue::ProfileCount);
  // The classic profiles keep their codes; today's formats follow in categories of their own.
  size_t classic = 0;
  for (int code : TFormatCatalogue::AllCodes())
    if (code < TFormatCatalogue::ClassicCategoryCount * 100) ++classic;
  EXPECT_EQ(classic, 115u);
  EXPECT_EQ(TFormatCatalogue::ProfileName(2500), "H.265/HEVC Video (*.mp4)");
  EXPECT_EQ(TFormatCatalogue::ProfileName(2700), "WebM VP9 Video with Opus Audio (*.webm)");
  EXPECT_EQ(TFormatCatalogue::ProfileName(3100), "MP4 - Change container only (*.mp4)");
  EXPECT_EQ(TFormatCatalogue::CategoryName(31), "Change container only");
  EXPECT_EQ(TFormatCatalogue::ProfileName(3200), "");
  EXPECT_EQ(TFormatCatalogue::ProfileName(401), "PSP MPEG-4 Normal Quality (*.mp4)");
  EXPECT_EQ(TFormatCatalogue::ProfileName(2406), "AC-3 Audio Codec (*.ac3)");
  EXPECT_EQ(TFormatCatalogue::ProfileName(0), "iPod Video MPEG-4 (*.mp4)");
  EXPECT_EQ(TFormatCatalogue::ProfileName(2109), "");
  EXPECT_EQ(TFormatCatalogue::CategoryName(13), "Nitendeo WII");
  EXPECT_EQ(TFormatCatalogue::CodeOfName("  PSP MPEG-4 Normal Quality (*.mp4) "), 401);
  EXPECT_FALSE(TFormatCatalogue::CodeOfName(FormatNameInList).has_value());
}

TEST(FormatCatalogue, SplitListKeepsBlanksAndEmptyItems) {
  EXPECT_FALSE(TFormatCatalogue::SplitList("null").has_value());
  EXPECT_EQ(*TFormatCatalogue::SplitList("320x240, 640x480"), (Items{"320x240", " 640x480"}));
  EXPECT_EQ(*TFormatCatalogue::SplitList("a,,b"), (Items{"a", "", "b"}));
  EXPECT_EQ(*TFormatCatalogue::SplitList("a,b,"), (Items{"a", "b", ""}));
  EXPECT_EQ(*TFormatCatalogue::SplitList(""), (Items{""}));
}

TEST(FormatCatalogue, ReadsSectionWithDefaultsForWhatIsMissing) {
  fixtures::TTempDir dir;
  std::ofstream(dir / "f.ini") << "; PSP\n[formatInfo401]\nformat=psp\nFILEEXT=mp4\n"
                                  "VideoSize=320x240,480x272\niVideoSize=1\niVolume=x\n";
  const TFormatCatalogue catalogue(dir / "f.ini");
  const TFormatInfo psp = catalogue.Read(401);
  EXPECT_EQ(psp.Format, "psp");
  EXPECT_EQ(psp.VideoSize, "320x240,480x272");
  EXPECT_EQ(psp.iVideoSize, 1);
  EXPECT_EQ(psp.iVolume, 0);
  EXPECT_EQ(psp.AudioEncoder, "null");
  const TFormatInfo missing = catalogue.Read(2406);
  EXPECT_FALSE(catalogue.HasSection(2406));
  EXPECT_EQ(missing.FileExt, "mp4");
  EXPECT_EQ(missing.Format, "null");
  EXPECT_EQ(missing.VideoEncoder, "null");
}

TEST(ProfileList, EveryCategoryStartsCollapsed) {
  fixtures::TTempDir dir;
  const auto rows = TProfileList::Build(TSettingsStore(dir / "s.ini"));
  ASSERT_EQ(rows.size(), 32u);
  EXPECT_TRUE(rows[4].Info.IsCategory && rows[4].Info.Collapsed);
  EXPECT_EQ(rows[4].Text, "Sony PSP");
  EXPECT_FALSE(TProfileList::FindRow(rows, FormatNameInList).has_value());
  EXPECT_EQ(TProfileList::BuiltHeight(rows.size()), 362);
  EXPECT_EQ(TProfileList::BuiltHeight(10), 220);
}

TEST(ProfileList, ExpandedCategoryFromStoreToggleAndSave) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "s.ini");
  store.SetCategoryCollapsed(4, false);
  auto rows = TProfileList::Build(store);
  ASSERT_EQ(rows.size(), 37u);
  EXPECT_EQ(rows[4].Text, "Sony PSP");
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(rows[5 + i].Info.IsProfile);
    EXPECT_EQ(rows[5 + i].Info.Code, 400 + i);
  }
  EXPECT_EQ(TProfileList::FindRow(rows, "PSP MPEG-4 Normal Quality (*.mp4)"), 6u);

  TProfileList::Toggle(rows, 4);   // collapse PSP
  TProfileList::Toggle(rows, 24);  // expand the audio formats (last row)
  ASSERT_EQ(rows.size(), 39u);
  EXPECT_EQ(rows[31].Info.Code, 2406);
  TProfileList::SaveCollapsedStates(rows, store);
  EXPECT_TRUE(store.CategoryCollapsed(4));
  EXPECT_FALSE(store.CategoryCollapsed(24));
  EXPECT_EQ(store.ReadString("lstformat", "4", ""), "1");
  EXPECT_EQ(store.ReadString("lstformat", "24", ""), "0");

  EXPECT_FALSE(TProfileList::Pick(rows[0], store));
  EXPECT_TRUE(TProfileList::Pick(rows[31], store));
  EXPECT_EQ(store.FormatCode(), 2406);
  EXPECT_EQ(store.FormatName(""), "AC-3 Audio Codec (*.ac3)");
}

TEST(ProfileList, ProfileBoxNamesTheProfileTheConversionUses) {
  struct TCase {
    const char *Code;  // nullptr: not stored
    const char *Name;  // nullptr: not stored
    const char *Shown;
  };
  const TCase cases[] = {
      {nullptr, nullptr, "iPod Video H.264 (*.mp4)"},  // a first start converts with code 1
      {"401", nullptr, "PSP MPEG-4 Normal Quality (*.mp4)"},
      {"401", "My own text", "My own text"},  // a stored name is shown as it is
      {"2109", nullptr, FormatNameInList},    // a code that names no profile
  };
  for (const TCase &c : cases) {
    fixtures::TTempDir dir;
    TSettingsStore store(dir / "s.ini");
    if (c.Code) store.WriteString("settings", "FormatCode", c.Code);
    if (c.Name) store.SetFormatName(c.Name);
    EXPECT_EQ(TProfileList::ShownFormatName(store), c.Shown) << (c.Code ? c.Code : "-");
  }
}

}  // namespace
