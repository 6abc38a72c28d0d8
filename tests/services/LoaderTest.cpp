#include <gtest/gtest.h>

#include <dlfcn.h>

#include <fstream>
#include <sstream>

#include "services/FFmpegApi.h"
#include "services/FFmpegLoader.h"
#include "tests/support/Fixtures.h"

namespace fs = std::filesystem;

namespace {

const std::string SystemLibDir = "/usr/lib/x86_64-linux-gnu/";

std::string Maps() {
  std::ifstream in("/proc/self/maps");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void CopyLib(const std::string &from, const fixtures::TTempDir &dir, const std::string &to) {
  fs::copy_file(fs::canonical(SystemLibDir + from), dir.Path() / to);
}

}  // namespace

TEST(Loader, FileNamesAreTheSonamesOfTheHeaders) {
  const std::pair<TLibraryKind, const char *> cases[] = {
      {TLibraryKind::avutil, "libavutil.so.57"},
      {TLibraryKind::swresample, "libswresample.so.4"},
      {TLibraryKind::swscale, "libswscale.so.6"},
      {TLibraryKind::avcodec, "libavcodec.so.59"},
      {TLibraryKind::avformat, "libavformat.so.59"},
      {TLibraryKind::avfilter, "libavfilter.so.8"},
      {TLibraryKind::avdevice, "libavdevice.so.59"},
      {TLibraryKind::SDL, "libSDL2-2.0.so.0"},
  };
  for (const auto &[kind, name] : cases) EXPECT_EQ(TFFmpegLoader::LibraryFileName(kind), name);
}

TEST(Loader, LoadsAndUnloadsASetWithEveryFunctionBound) {
  TFFmpegLoader &loader = FFLoader();
  ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();
  EXPECT_TRUE(loader.LibsLoaded(EncoderLibs));
  EXPECT_FALSE(loader.LibLoaded(TLibraryKind::SDL));
  EXPECT_NE(ff::avcodec_open2, nullptr);
  EXPECT_NE(ff::swr_convert, nullptr);
  EXPECT_EQ(ff::SDL_Init, nullptr);

  loader.UnloadLibs(EncoderLibs);
  EXPECT_FALSE(loader.LibLoaded(TLibraryKind::avutil));
  EXPECT_EQ(ff::avcodec_open2, nullptr);
  EXPECT_EQ(ff::av_malloc, nullptr);
}

TEST(Loader, PlayerSetAfterEncoderSetOnlyAddsSDL) {
  TFFmpegLoader &loader = FFLoader();
  ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();
  const auto avcodecOpen = ff::avcodec_open2;
  ASSERT_TRUE(loader.LoadLibs(PlayerLibs)) << loader.LastErrMsg();
  EXPECT_TRUE(loader.LibsLoaded(PlayerLibs));
  EXPECT_EQ(ff::avcodec_open2, avcodecOpen);
  EXPECT_NE(ff::SDL_OpenAudioDevice, nullptr);
}

TEST(Loader, PrivateFolderIsPreferredOverTheSystemSearch) {
  fixtures::TTempDir libav;
  CopyLib("libavutil.so.57", libav, "libavutil.so.57");
  CopyLib("libswresample.so.4", libav, "libswresample.so.4");
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(libav.Path().string());  // no trailing slash: one is added
  ASSERT_TRUE(loader.LoadLibs(EncoderLibs)) << loader.LastErrMsg();

  const std::string maps = Maps();
  EXPECT_NE(maps.find(libav / "libavutil.so.57"), std::string::npos);
  EXPECT_NE(maps.find(libav / "libswresample.so.4"), std::string::npos);
  // avcodec is not in the folder: found by the system search, bound to our avutil by soname.
  EXPECT_EQ(maps.find(libav / "libavcodec.so.59"), std::string::npos);
  EXPECT_EQ(loader.LoadedFrom(TLibraryKind::avutil), libav / "libavutil.so.57");
  EXPECT_EQ(maps.find(SystemLibDir + "libavutil.so.57"), std::string::npos);
}

TEST(Loader, OneUnloadableLibraryLeavesTheWholeSetUnloaded) {
  fixtures::TTempDir libav;
  std::ofstream(libav / "libavformat.so.59") << "not a library";
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(libav.Path().string() + "/");  // trailing slash: not doubled
  EXPECT_FALSE(loader.LoadLibs(EncoderLibs));

  const std::string expected = "Load library " + (libav / "libavformat.so.59") + " error: ";
  EXPECT_EQ(loader.LastErrMsg().rfind(expected, 0), 0u) << loader.LastErrMsg();
  for (TLibraryKind kind : EncoderLibs) EXPECT_FALSE(loader.LibLoaded(kind));
  EXPECT_EQ(ff::av_malloc, nullptr);
  EXPECT_EQ(ff::avcodec_open2, nullptr);
}

TEST(Loader, MissingFunctionNamesTheSymbolAndTheLibrary) {
  fixtures::TTempDir libav;
  CopyLib("libswresample.so.4", libav, "libswscale.so.6");  // a library without sws_* functions
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(libav.Path().string());
  EXPECT_FALSE(loader.LoadLibs({TLibraryKind::avutil, TLibraryKind::swscale}));
  EXPECT_EQ(loader.LastErrMsg().rfind("Load function swscale_version@libswscale.so.6 error: ", 0),
            0u)
      << loader.LastErrMsg();
  EXPECT_FALSE(loader.LibLoaded(TLibraryKind::swscale));
  EXPECT_FALSE(loader.LibLoaded(TLibraryKind::avutil));
  EXPECT_EQ(ff::sws_getContext, nullptr);
}

TEST(Loader, MissingVariableHasItsOwnMessage) {
  TFFmpegLoader &loader = FFLoader();
  ASSERT_TRUE(loader.LoadLib(TLibraryKind::avutil)) << loader.LastErrMsg();
  void *handle = dlopen("libavutil.so.57", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  try {
    TFFmpegLoader::BindSymbol(handle, "av_no_such_table", "libavutil.so.57", true);
    FAIL() << "no exception";
  } catch (const std::exception &e) {
    EXPECT_EQ(
        std::string(e.what()).rfind("Load variable av_no_such_table@libavutil.so.57 error: ", 0),
        0u)
        << e.what();
  }
  dlclose(handle);
}

TEST(Loader, EmptySetIsRefused) {
  EXPECT_THROW(FFLoader().LoadLibs({}), std::invalid_argument);
  EXPECT_THROW(FFLoader().LibsLoaded({}), std::invalid_argument);
}
