#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Paths.h"
#include "tests/support/Fixtures.h"
#include "tests/workspace/CountedSaves.h"
#include "workspace/GlobalUnit.h"
#include "workspace/SafeFileWriter.h"
#include "workspace/SettingsStore.h"

namespace {

void WriteFile(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

ino_t InodeOf(const std::string &path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::set<std::string> FilesIn(const std::filesystem::path &folder) {
  std::set<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

std::string FilesInText(const std::filesystem::path &folder) {
  std::string text;
  for (const std::string &name : FilesIn(folder)) text += name + " ";
  return text;
}

// What the store tells the user, collected.
struct TNotices {
  TNotices() {
    SetStoreNoticeHandler([](const std::string &) {});  // what earlier tests left unsaid
    SetStoreNoticeHandler([this](const std::string &text) { Texts.push_back(text); });
  }
  ~TNotices() { SetStoreNoticeHandler(nullptr); }
  std::vector<std::string> Texts;
};

TEST(SettingsStore, FirstStartReadsEveryDefault) {
  fixtures::TTempDir dir;
  const TSettingsStore store(dir / "none.ini");
  const std::string home = paths::HomeFolder().string();
  EXPECT_EQ(store.OutPutDir(), home + "/videoconverter");
  EXPECT_EQ(store.SnapOutPutDir(), home + "/videoconverter");
  EXPECT_EQ(store.FormatCode(), 1);
  EXPECT_EQ(store.FormatCodeText(), "1");
  EXPECT_EQ(store.FormatName(FormatNameAtShow), "iPod Video MPEG-4");
  EXPECT_EQ(store.FormatName(FormatNameInList), "Apple iPod Video MPEG-4 Movie (*.mp4)");
  EXPECT_EQ(store.OutPutFormat(), 0);
  EXPECT_EQ(store.SkinIndex(), 0);
  EXPECT_EQ(store.Volume(), 0);
  EXPECT_EQ(store.Mute(), 0);
  EXPECT_EQ(store.Priority(), 1);
  EXPECT_TRUE(store.SnapFullSize());
  EXPECT_TRUE(store.SnapSmallSize());
  EXPECT_TRUE(store.SnapBmp());
  EXPECT_TRUE(store.SnapJpg());
  EXPECT_EQ(store.JpgCmp(), 30);
  EXPECT_TRUE(store.CategoryCollapsed(0));
  EXPECT_TRUE(store.CategoryCollapsed(24));
  EXPECT_FALSE(store.ProfileExists(401));
}

TEST(SettingsStore, KeysMatchWithoutRegardToCase) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "s.ini");
  // The preferences dialog writes "snapOutPutDir" and reads "Priority".
  store.WriteString("settings", "snapOutPutDir", "/data/snaps");
  store.WriteInteger("Settings", "Priority", 3);
  EXPECT_EQ(store.SnapOutPutDir(), "/data/snaps");
  EXPECT_EQ(store.Priority(), 3);
  store.WriteProfile(401, "PARAVIDEOSIZE", "480x272");
  EXPECT_EQ(store.ReadProfile(401, "paraVideoSize", "null"), "480x272");
}

TEST(SettingsStore, StoredValuesAndOddTexts) {
  fixtures::TTempDir dir;
  const std::string path = dir / "s.ini";
  WriteFile(path,
            "[settings]\nvolume=200\nskinIndex=9\npriority=fast\nmute=1\n"
            "[lstformat]\n4=0\n7=1\n");
  const TSettingsStore store(path);
  EXPECT_EQ(store.Volume(), 200);
  EXPECT_EQ(store.VolumeBarPosition(), 64);
  EXPECT_EQ(store.SkinIndex(), 9);
  EXPECT_EQ(store.Priority(), 1) << "text that is not an integer reads as the default";
  EXPECT_EQ(store.Mute(), 1);
  EXPECT_FALSE(store.CategoryCollapsed(4));
  EXPECT_TRUE(store.CategoryCollapsed(7));
  EXPECT_TRUE(store.CategoryCollapsed(5));
}

TEST(SettingsStore, WritesCreateFolderAndKeepOtherKeys) {
  fixtures::TTempDir dir;
  TSettingsStore store(dir / "cfg/morvane/s.ini");
  store.SetFormatCode(401);
  store.SetFormatName("PSP MPEG-4 Normal Quality (*.mp4)");
  store.SetMute(true);
  store.SetCategoryCollapsed(4, false);
  store.WriteProfile(401, "paraZoom", "lbox");
  const TSettingsStore reread(dir / "cfg/morvane/s.ini");
  EXPECT_EQ(reread.FormatCode(), 401);
  EXPECT_EQ(reread.FormatName(FormatNameAtShow), "PSP MPEG-4 Normal Quality (*.mp4)");
  EXPECT_EQ(reread.Mute(), 1);
  EXPECT_FALSE(reread.CategoryCollapsed(4));
  EXPECT_TRUE(reread.ProfileExists(401));
  EXPECT_EQ(reread.ReadString("formatInfo401", "paraZoom", ""), "lbox");
}

// A line that opens a section without closing it used to make every write add to the file
// (found by fuzzing: 550 bytes grew to 3.8 MB within one job, and each read then took seconds).
TEST(SettingsStore, UnclosedSectionLineNeitherGrowsTheFileNorHidesKeys) {
  fixtures::TTempDir dir;
  const std::string path = dir / "s.ini";
  WriteFile(path,
            "[settings]\nFormatCode=401\n[broken\n;note\nmute=1\n[formatInfo401]\nparaZoom=full\n");
  TSettingsStore store(path);
  for (int i = 0; i < 20; ++i) store.SetSkinIndex(i);
  EXPECT_LT(std::filesystem::file_size(path), 200u);
  EXPECT_EQ(store.SkinIndex(), 19);
  EXPECT_EQ(store.FormatCode(), 401);
  EXPECT_EQ(store.Mute(), 1) << "the keys below the damaged line stay in the section before it";
  EXPECT_EQ(store.ReadString("formatInfo401", "paraZoom", ""), "full");
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find(";[broken"), std::string::npos) << "the damaged line is kept";
}

// A folder that cannot be made (a file where it should be; root may write anywhere else): the
// program goes on with what it changed for the rest of the run, says once that changes will not
// be kept, and raises nothing.
TEST(SettingsStore, AnUnwritableFolderKeepsChangesForTheRunAndSaysSoOnce) {
  fixtures::TTempDir dir;
  WriteFile(dir / "file", "x");
  const TNotices notices;
  TSettingsStore store(dir / "file/s.ini");
  EXPECT_NO_THROW(store.SetSkinIndex(2));
  EXPECT_NO_THROW(store.WriteProfile(401, "paraZoom", "pan"));
  EXPECT_EQ(store.SkinIndex(), 2);
  EXPECT_EQ(TSettingsStore(dir / "file/s.ini").ReadProfile(401, "paraZoom", ""), "pan");
  ASSERT_EQ(notices.Texts.size(), 1u);
  EXPECT_EQ(notices.Texts[0].rfind("The settings could not be saved to " + dir / "file/s.ini", 0),
            0u)
      << notices.Texts[0];
  EXPECT_NE(notices.Texts[0].find("Not a directory). Changes will not be kept."), std::string::npos)
      << notices.Texts[0];
}

// Each step of a save failing as a full disk, a quota or a dying disk makes it fail: the store
// keeps its bytes (and its inode: it was not replaced), no temporary file stays, the user hears
// of it once, and the change goes in with the next save that works.
TEST(SettingsStore, AFailedSaveLeavesTheStoreAsItWas) {
  struct TCase {
    const char *Name;
    std::function<void(TFileWriteCalls &)> Break;
    const char *Why;
  };
  const auto failing = [](int error) {
    return [error](auto...) {
      errno = error;
      return -1;
    };
  };
  const TCase cases[] = {
      {"write", [&](TFileWriteCalls &c) { c.Write = failing(ENOSPC); }, "No space left on device"},
      {"write stops halfway",
       [](TFileWriteCalls &c) {
         c.Write = [calls = 0](int fd, const void *data, size_t size) mutable -> ssize_t {
           if (calls++ > 0) {
             errno = ENOSPC;
             return -1;
           }
           return ::write(fd, data, size / 2);
         };
       },
       "No space left on device"},
      {"write takes nothing", [](TFileWriteCalls &c) { c.Write = [](auto...) { return 0; }; },
       "No space left on device"},
      {"sync", [&](TFileWriteCalls &c) { c.Sync = failing(EIO); }, "Input/output error"},
      {"close",
       [&](TFileWriteCalls &c) {
         c.Close = [](int fd) {
           ::close(fd);
           errno = EDQUOT;
           return -1;
         };
       },
       "Disk quota exceeded"},
      {"rename", [&](TFileWriteCalls &c) { c.Rename = failing(EIO); }, "Input/output error"},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    fixtures::TTempDir dir;
    const std::string path = dir / "s.ini";
    const std::string before = "[settings]\nFormatCode=401\n[formatInfo401]\nparaZoom=full\n";
    WriteFile(path, before);
    const ino_t inode = std::filesystem::status(path).type() == std::filesystem::file_type::regular
                            ? InodeOf(path)
                            : 0;
    const TNotices notices;
    TFileWriteCalls broken = TFileWriteCalls::System();
    c.Break(broken);
    SetStoreWriteCalls(&broken);
    TSettingsStore store(path);
    store.SetSkinIndex(3);
    store.WriteProfile(401, "paraZoom", "pan");
    SetStoreWriteCalls(nullptr);

    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(InodeOf(path), inode);
    EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>({"s.ini", "s.ini.lock"}));
    ASSERT_EQ(notices.Texts.size(), 1u);
    EXPECT_NE(notices.Texts[0].find(c.Why), std::string::npos) << notices.Texts[0];
    EXPECT_EQ(store.SkinIndex(), 3) << "kept for the run";

    WriteFile(dir / ".s.ini.saving-999999-0", "half");  // as a killed process leaves it
    store.SetMute(true);                                // the disk works again
    EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>({"s.ini", "s.ini.lock"}));
    const TIniFile onDisk(path);
    EXPECT_EQ(onDisk.ReadString("settings", "skinIndex", ""), "3");
    EXPECT_EQ(onDisk.ReadString("settings", "mute", ""), "1");
    EXPECT_EQ(onDisk.ReadString("formatInfo401", "paraZoom", ""), "pan");
    EXPECT_EQ(notices.Texts.size(), 1u);
  }
}

// The same with a real file system that is full: a small one mounted for the test (as root;
// elsewhere the injected failures above stand for it).
TEST(SettingsStore, AFullFileSystemLeavesTheStoreAsItWas) {
  fixtures::TTempDir dir;
  const std::string fs = dir / "fs";
  std::filesystem::create_directory(fs);
  if (geteuid() != 0 || mount("tmpfs", fs.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  const std::unique_ptr<const char, void (*)(const char *)> unmount(
      fs.c_str(), [](const char *p) { umount2(p, MNT_DETACH); });
  const std::string path = fs + "/s.ini";
  {
    TSettingsStore store(path);
    TStoreEdit edit(store);
    for (int code : {401, 402, 403}) store.WriteProfile(code, "paraVideoSize", "320x240");
  }
  const std::string before = ReadBytes(path);
  ASSERT_FALSE(before.empty()) << FilesInText(fs);
  {
    std::ofstream filler(fs + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 64 && filler; ++i) filler.write(block.data(), block.size()), filler.flush();
  }
  const TNotices notices;
  TSettingsStore store(path);
  for (int i = 0; i < 5; ++i) store.WriteProfile(500 + i, "paraVideoSize", std::string(900, 'a'));
  EXPECT_EQ(ReadBytes(path), before);
  ASSERT_EQ(notices.Texts.size(), 1u);
  EXPECT_NE(notices.Texts[0].find("No space left on device"), std::string::npos)
      << notices.Texts[0];
  std::filesystem::remove(fs + "/filler");
  store.SetMute(true);
  EXPECT_TRUE(TIniFile(path).SectionExists("formatInfo504")) << "saved once there is room";
}

// Settings are text; zero bytes (what a crash leaves of a file never written out), a pipe or a
// folder at the store's name are no settings.  The thing is kept as NAME.damaged, the program
// goes on with the defaults and says so once, and the next save makes a new store.
TEST(SettingsStore, ADamagedStoreIsKeptAsideAndSaidOnce) {
  const std::string zeros("[settings]\nFormatCode=401\n\0\0\0\0", 30);
  struct TCase {
    const char *Name;
    std::function<void(const std::string &)> Make;
    const char *Why;
  };
  const TCase cases[] = {
      {"zero bytes", [&](const std::string &p) { WriteFile(p, zeros); }, "binary data"},
      {"a pipe", [](const std::string &p) { mkfifo(p.c_str(), 0644); }, "not a regular file"},
      {"a folder", [](const std::string &p) { std::filesystem::create_directory(p); },
       "not a regular file"},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    fixtures::TTempDir dir;
    const std::string path = dir / "s.ini";
    c.Make(path);
    const TNotices notices;
    const TSettingsStore store(path);
    EXPECT_EQ(store.FormatCode(), 1);
    EXPECT_EQ(store.FormatCode(), 1);
    ASSERT_EQ(notices.Texts.size(), 1u);
    EXPECT_EQ(notices.Texts[0],
              "The settings file " + path + " could not be read (it " +
                  (std::string(c.Why) == "binary data" ? "holds binary data, not settings"
                                                       : "is not a regular file") +
                  "). It was kept as " + path +
                  ".damaged, and the program goes on with the default settings.");
    if (std::string(c.Name) == "zero bytes") {
      EXPECT_EQ(ReadBytes(path + ".damaged"), zeros);
    }
    EXPECT_TRUE(std::filesystem::exists(path + ".damaged"));
    TSettingsStore(path).SetFormatCode(205);
    EXPECT_EQ(TIniFile(path).ReadInteger("settings", "FormatCode", 0), 205);
    EXPECT_EQ(notices.Texts.size(), 1u);
  }
}

// A store the user made read-only is read, and never written nor replaced: its bytes, mode and
// inode stay, nothing is made beside it, and the run goes on with its changes in memory.
TEST(SettingsStore, AReadOnlyStoreIsReadAndNeverWritten) {
  fixtures::TTempDir dir;
  const std::string path = dir / "s.ini";
  const std::string before = "[settings]\nFormatCode=401\nmute=1\n";
  WriteFile(path, before);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  const ino_t inode = InodeOf(path);
  const TNotices notices;
  TSettingsStore store(path);
  EXPECT_EQ(store.FormatCode(), 401);
  store.SetFormatCode(205);
  {
    TStoreEdit edit(store);
    store.WriteProfile(205, "paraZoom", "pan");
  }
  EXPECT_EQ(store.FormatCode(), 205) << "for this run";
  EXPECT_EQ(store.Mute(), 1);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(InodeOf(path), inode);
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms(0444));
  EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>({"s.ini"}));
  ASSERT_EQ(notices.Texts.size(), 1u);
  EXPECT_EQ(notices.Texts[0], "The settings file " + path +
                                  " is read-only: it is read but never written. Changes will "
                                  "not be kept.");
}

// An edit is one load and one save however many keys it writes; a write alone is one of each;
// writes that change nothing save nothing.
TEST(SettingsStore, AnEditSavesOnce) {
  fixtures::TTempDir dir;
  const TCountedSaves saves;
  TSettingsStore store(dir / "s.ini");
  {
    TStoreEdit edit(store);
    for (int i = 0; i < 40; ++i) store.WriteProfileInteger(401, "key" + std::to_string(i), i);
    EXPECT_EQ(TSettingsStore(dir / "s.ini").ReadProfileInteger(401, "key39", -1), 39)
        << "another object of the same file sees the edit";
    EXPECT_EQ(saves.Count, 0);
  }
  EXPECT_EQ(saves.Count, 1);
  store.SetMute(true);
  EXPECT_EQ(saves.Count, 2);
  store.SetMute(true);
  store.EraseSection("nothing");
  EXPECT_EQ(saves.Count, 2);
}

// Another running copy of the program that saves while we are in an edit waits for its end and
// then works on what we saved, so neither loses the other's change.
TEST(SettingsStore, ASecondInstanceNeverSavesInTheMiddleOfAnEdit) {
  fixtures::TTempDir dir;
  const std::string path = dir / "s.ini";
  TSettingsStore store(path);
  store.SetFormatCode(401);
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  // The other copy: a process of its own, started before our edit, that saves when told to.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char byte = 0;
    const bool told = read(go[0], &byte, 1) == 1;
    if (told) TSettingsStore(path).SetMute(true);
    _exit(told ? 0 : 1);
  }
  {
    TStoreEdit edit(store);
    store.SetSkinIndex(4);
    ASSERT_EQ(write(go[1], "x", 1), 1);
    // Long enough for the other copy to have read the file, were it not kept waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  close(go[0]);
  close(go[1]);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const TIniFile saved(path);
  EXPECT_EQ(saved.ReadString("settings", "skinIndex", ""), "4");
  EXPECT_EQ(saved.ReadString("settings", "mute", ""), "1");
  EXPECT_EQ(saved.ReadString("settings", "FormatCode", ""), "401");
}

TEST(GlobalObject, SettersIgnoreEmptyAndTooShortValues) {
  TGlobalObject global("/cfg/s.ini", "/data/f.ini");
  EXPECT_EQ(global.ProductTitle(), "Morvane MP4 Video Converter");
  EXPECT_EQ(global.VersionText(), " ver 1.60 ");
  global.SetSettingsIniPath("a.i");
  global.SetFormatIniPath("");
  global.SetProductTitle("");
  EXPECT_EQ(global.SettingsIniPath(), "/cfg/s.ini");
  EXPECT_EQ(global.FormatIniPath(), "/data/f.ini");
  EXPECT_EQ(global.ProductTitle(), "Morvane MP4 Video Converter");
  global.SetSettingsIniPath("b.ini");
  EXPECT_EQ(global.SettingsIniPath(), "b.ini");
}

TEST(GlobalObject, VersionTextRunsMinorBuildReleaseTogether) {
  EXPECT_EQ(VersionTextOf(3, 3, 0, 0), " 3.300 ");
  EXPECT_EQ(VersionTextOf(2, 10, 1, 0), " 2.1010 ");
}

TEST(GlobalObject, PathsComeFromEnvironmentOrConfigFolder) {
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  unsetenv("MORVANE_SETTINGS_INI");
  setenv("MORVANE_FORMAT_INI", "/opt/f.ini", 1);
  const TGlobalObject fromConfig;
  EXPECT_EQ(fromConfig.SettingsIniPath(), "/xdg/morvane/morvanemp4videoconverter.ini");
  EXPECT_EQ(fromConfig.FormatIniPath(), "/opt/f.ini");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultSettingsIniPath(), "/home/u/.config/morvane/morvanemp4videoconverter.ini");
  setenv("MORVANE_SETTINGS_INI", "/t/s.ini", 1);
  EXPECT_EQ(TGlobalObject().SettingsIniPath(), "/t/s.ini");
}

}  // namespace
