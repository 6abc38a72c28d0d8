#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Mounts.h"

namespace {

// A mount table as the kernel writes it: the root file system, a USB stick whose name has a
// blank, a read-only mount below the home folder, a disc in the optical drive, and a second
// mount over the stick's point that hides the first one.
const char MountInfo[] =
    "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
    "40 27 8:17 / /media/user/USB\\040STICK rw,nosuid - vfat /dev/sdb1 rw,fmask=0022\n"
    "41 27 0:50 / /home/user/archive ro,relatime - ext4 /dev/sdc1 rw\n"
    "42 27 11:0 / /media/user/HOLIDAY rw,nosuid - iso9660 /dev/sr0 ro,nojoliet\n"
    "43 27 11:1 / /mnt/dvd rw - udf /dev/sr1 rw\n"
    "44 27 0:51 / /srv/readonlyfs rw - squashfs /dev/loop3 ro\n"
    "45 40 0:52 / /media/user/USB\\040STICK rw - tmpfs tmpfs rw\n"
    "not a mount line\n";

}  // namespace

TEST(Mounts, TheDeepestMountHoldsAPathAndALaterMountCoversAnEarlierOne) {
  const auto mounts = mounts::ParseMountInfo(MountInfo);
  ASSERT_EQ(mounts.size(), 7u);
  const std::pair<const char *, const char *> cases[] = {
      {"/home/user/videos", "/dev/vda"},
      {"/home/user/archive", "/dev/sdc1"},
      {"/home/user/archive/2010/clips", "/dev/sdc1"},
      {"/home/user/archived", "/dev/vda"},  // a longer name is not a folder below the point
      {"/media/user/USB STICK/films", "tmpfs"},
      {"/", "/dev/vda"}};
  for (const auto &[path, source] : cases) {
    const auto mount = mounts::MountOf(mounts, path);
    ASSERT_TRUE(mount.has_value()) << path;
    EXPECT_EQ(mount->Source, source) << path;
  }
}

TEST(Mounts, ReadOnlyMountsAndOpticalDiscsAreRefused) {
  const std::pair<const char *, bool> cases[] = {
      {"/home/user/videos", false},
      {"/home/user/archive/2010", true},       // mounted read-only
      {"/srv/readonlyfs/data", true},          // a file system that is read-only itself
      {"/media/user/HOLIDAY/VIDEO_TS", true},  // a CD or DVD
      {"/mnt/dvd", true},                      // a disc written with UDF
      {"/media/user/USB STICK", false}};
  for (const auto &[folder, refused] : cases)
    EXPECT_EQ(mounts::FolderOnReadOnlyOrOpticalMedium(folder, MountInfo), refused) << folder;
}

TEST(Mounts, TheSystemTableFindsTheRootFileSystemWritable) {
  // The test's own temporary folder can take files, so it is not refused.
  EXPECT_FALSE(mounts::FolderOnReadOnlyOrOpticalMedium(std::filesystem::temp_directory_path()));
}
