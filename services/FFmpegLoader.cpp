#include "services/FFmpegLoader.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cfenv>
#include <stdexcept>

#include "services/FFmpegApi.h"
#include "services/FFmpegLogger.h"

const TLibraries EncoderLibs = {TLibraryKind::avutil,   TLibraryKind::swresample,
                                TLibraryKind::swscale,  TLibraryKind::avcodec,
                                TLibraryKind::avformat, TLibraryKind::avfilter};
const TLibraries PlayerLibs = {
    TLibraryKind::avutil,   TLibraryKind::swresample, TLibraryKind::swscale, TLibraryKind::avcodec,
    TLibraryKind::avformat, TLibraryKind::avfilter,   TLibraryKind::SDL};

namespace {

struct ELoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

template <class T>
void BindOne(T &slot, void *handle, const char *name, const std::string &file, bool isVariable) {
  slot = reinterpret_cast<T>(TFFmpegLoader::BindSymbol(handle, name, file, isVariable));
}

#define FF_FUNC(name) BindOne(ff::name, handle, #name, file, false);
#define FF_VAR(name) BindOne(ff::name, handle, #name, file, true);
// clang-format off
void BindAvutil(const std::string &file, void *handle) {
#include "services/bindings/avutil.inc"
}
void BindSwresample(const std::string &file, void *handle) {
#include "services/bindings/swresample.inc"
}
void BindSwscale(const std::string &file, void *handle) {
#include "services/bindings/swscale.inc"
}
void BindAvcodec(const std::string &file, void *handle) {
#include "services/bindings/avcodec.inc"
}
void BindAvformat(const std::string &file, void *handle) {
#include "services/bindings/avformat.inc"
}
void BindAvfilter(const std::string &file, void *handle) {
#include "services/bindings/avfilter.inc"
}
void BindAvdevice(const std::string &file, void *handle) {
#include "services/bindings/avdevice.inc"
}
void BindSDL(const std::string &file, void *handle) {
#include "services/bindings/sdl.inc"
}
#undef FF_FUNC
#undef FF_VAR

#define FF_FUNC(name) ff::name = nullptr;
#define FF_VAR(name) ff::name = nullptr;
void UnbindAvutil() {
#include "services/bindings/avutil.inc"
}
void UnbindSwresample() {
#include "services/bindings/swresample.inc"
}
void UnbindSwscale() {
#include "services/bindings/swscale.inc"
}
void UnbindAvcodec() {
#include "services/bindings/avcodec.inc"
}
void UnbindAvformat() {
#include "services/bindings/avformat.inc"
}
void UnbindAvfilter() {
#include "services/bindings/avfilter.inc"
}
void UnbindAvdevice() {
#include "services/bindings/avdevice.inc"
}
void UnbindSDL() {
#include "services/bindings/sdl.inc"
}
#undef FF_FUNC
#undef FF_VAR

#define SONAME(base, major) "lib" base ".so." #major
#define SONAME_OF(base, major) SONAME(base, major)

const TLibraryItem LibraryItems[LibraryKindCount] = {
  {TLibraryKind::avutil, "avutil", LIBAVUTIL_VERSION_MAJOR, SONAME_OF("avutil", LIBAVUTIL_VERSION_MAJOR), BindAvutil, UnbindAvutil},
  {TLibraryKind::swresample, "swresample", LIBSWRESAMPLE_VERSION_MAJOR, SONAME_OF("swresample", LIBSWRESAMPLE_VERSION_MAJOR), BindSwresample, UnbindSwresample},
  {TLibraryKind::swscale, "swscale", LIBSWSCALE_VERSION_MAJOR, SONAME_OF("swscale", LIBSWSCALE_VERSION_MAJOR), BindSwscale, UnbindSwscale},
  {TLibraryKind::avcodec, "avcodec", LIBAVCODEC_VERSION_MAJOR, SONAME_OF("avcodec", LIBAVCODEC_VERSION_MAJOR), BindAvcodec, UnbindAvcodec},
  {TLibraryKind::avformat, "avformat", LIBAVFORMAT_VERSION_MAJOR, SONAME_OF("avformat", LIBAVFORMAT_VERSION_MAJOR), BindAvformat, UnbindAvformat},
  {TLibraryKind::avfilter, "avfilter", LIBAVFILTER_VERSION_MAJOR, SONAME_OF("avfilter", LIBAVFILTER_VERSION_MAJOR), BindAvfilter, UnbindAvfilter},
  {TLibraryKind::avdevice, "avdevice", LIBAVDEVICE_VERSION_MAJOR, SONAME_OF("avdevice", LIBAVDEVICE_VERSION_MAJOR), BindAvdevice, UnbindAvdevice},
  {TLibraryKind::SDL, "SDL2-2.0", 0, "libSDL2-2.0.so.0", BindSDL, UnbindSDL},
};
// clang-format on

#ifdef MORVANE_SANITIZE
// The libraries allocate a little at start-up and keep it for the process's life; once a module
// is unmapped the leak checker can no longer see those references and reports them.  Sanitizer
// builds therefore keep unloaded modules mapped (the tables are cleared all the same).
constexpr int KeepMapped = RTLD_NODELETE;
#else
constexpr int KeepMapped = 0;
#endif

std::string DlError() {
  const char *e = dlerror();
  return e ? e : "unknown error";
}

bool IsRegularFile(const std::string &path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

TFFmpegLoader::TFFmpegLoader() {
  InitFloatingPoint();
  for (int i = 0; i < LibraryKindCount; ++i) FStatus[i].Library = LibraryItems[i].Library;
}

TFFmpegLoader::~TFFmpegLoader() = default;  // libraries stay mapped until the process ends

const TLibraryItem &TFFmpegLoader::Item(TLibraryKind kind) {
  return LibraryItems[static_cast<int>(kind)];
}

std::string TFFmpegLoader::LibraryFileName(TLibraryKind kind) {
  return Item(kind).FileName;
}

void *TFFmpegLoader::BindSymbol(void *handle, const char *symbol, const std::string &fileName,
                                bool isVariable) {
  dlerror();
  void *p = dlsym(handle, symbol);
  if (!p) {
    char buf[1024];
    snprintf(buf, sizeof buf,
             isVariable ? "Load variable %s@%s error: %s" : "Load function %s@%s error: %s", symbol,
             fileName.c_str(), DlError().c_str());
    throw ELoadError(buf);
  }
  return p;
}

void *TFFmpegLoader::LoadModule(const std::string &folder, const std::string &file,
                                std::string &error) {
  // A file in the private folder is loaded by its full path.  Its own dependencies are found
  // among the libraries already loaded (by soname), which is why the kinds load in order.
  const std::string path = (!folder.empty() && IsRegularFile(folder + file)) ? folder + file : file;
  void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL | KeepMapped);
  if (!h) error = DlError();
  return h;
}

bool TFFmpegLoader::LoadLib(TLibraryKind kind) {
  TLibraryStatus &st = FStatus[static_cast<int>(kind)];
  const TLibraryItem &item = Item(kind);
  const std::string fileName = LibraryFileName(kind);
  if (!st.Handle) {
    std::string folder;
    std::string file = fileName;
    if (const auto cut = fileName.find_last_of('/'); cut != std::string::npos) {
      folder = fileName.substr(0, cut + 1);
      file = fileName.substr(cut + 1);
    }
    if (folder.empty() && !FLibraryPath.empty()) {
      folder = FLibraryPath;
      if (folder.back() != '/') folder += '/';
    }
    std::string error;
    st.Handle = LoadModule(folder, file, error);
    if (!st.Handle) {
      FLastErrMsg = "Load library " + folder + file + " error: " + error;
      return false;
    }
  }
  if (!st.Bound) {
    try {
      item.Bind(fileName, st.Handle);
      st.Bound = true;
    } catch (const std::exception &e) {
      FLastErrMsg = e.what();
    }
  }
  if (!st.Bound) UnloadLib(kind);
  if (st.Bound && kind == TLibraryKind::avutil && InstallLogHook)
    FFLogger().InstallLibraryCallback();
  return st.Bound;
}

bool TFFmpegLoader::LoadLibs(const TLibraries &libs) {
  if (libs.empty()) throw std::invalid_argument("LoadLibs: empty library set");
  for (TLibraryKind kind : libs) {  // std::set iterates in kind (= load) order
    if (!LoadLib(kind)) {
      UnloadLibs(libs);
      return false;
    }
  }
  return true;
}

bool TFFmpegLoader::LibLoaded(TLibraryKind kind) const {
  const TLibraryStatus &st = FStatus[static_cast<int>(kind)];
  return st.Handle && st.Bound;
}

bool TFFmpegLoader::LibsLoaded(const TLibraries &libs) const {
  if (libs.empty()) throw std::invalid_argument("LibsLoaded: empty library set");
  for (TLibraryKind kind : libs)
    if (!LibLoaded(kind)) return false;
  return true;
}

void TFFmpegLoader::UnloadLib(TLibraryKind kind) {
  TLibraryStatus &st = FStatus[static_cast<int>(kind)];
  // Clear the table even when binding stopped half-way: no pointer may outlive its module.
  Item(kind).Unbind();
  st.Bound = false;
  if (st.Handle) {
    dlclose(st.Handle);
    st.Handle = nullptr;
  }
}

void TFFmpegLoader::UnloadLibs(const TLibraries &libs) {
  // Dependants first, so that a library is never closed under one that still uses it.
  for (auto it = libs.rbegin(); it != libs.rend(); ++it) UnloadLib(*it);
}

std::string TFFmpegLoader::LoadedFrom(TLibraryKind kind) const {
  const TLibraryStatus &st = FStatus[static_cast<int>(kind)];
  if (!st.Handle) return {};
  link_map *map = nullptr;
  if (dlinfo(st.Handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return {};
  return map->l_name ? map->l_name : "";
}

TFFmpegLoader &FFLoader() {
  static TFFmpegLoader loader;
  return loader;
}

std::recursive_mutex &CodecLock() {
  static std::recursive_mutex lock;
  return lock;
}

void InitFloatingPoint() {
  std::fesetround(FE_TONEAREST);
}
