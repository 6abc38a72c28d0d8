#include "services/UnicodeProtocol.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>

#include "services/FFResources.h"
#include "services/FFmpegApi.h"

namespace {

// Schemes that are addresses already and pass unchanged (compared with letter case).
constexpr const char PassThroughSchemes[] = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
constexpr int IOBufferSize = 32768;
// What a local file may open besides itself (a playlist's segments, keys or inline data): never a
// network address, whatever the file says.
constexpr const char LocalFileProtocols[] = "file,crypto,data";

// The length of the scheme the libraries would read at the start of `text` ("take" in
// "take:1.mp4"), 0 when they would read it as a plain file name.
size_t SchemeLength(const std::string &text) {
  static const char SchemeChars[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.";
  const size_t n = strspn(text.c_str(), SchemeChars);
  return n > 0 && n < text.size() && text[n] == ':' ? n : 0;
}

constexpr const char LocalFilePrefix[] = "file:";

// Addresses the user means as such: our pass-through schemes and anything written "scheme://".
bool IsAddress(const std::string &text) {
  const size_t n = SchemeLength(text);
  if (n == 0) return false;
  if (strstr(PassThroughSchemes, (":" + text.substr(0, n) + ":").c_str())) return true;
  return text.compare(n, 3, "://") == 0;
}

// A URL that names a local file: no scheme at all, or the file protocol's own.
bool IsLocalFileURL(const std::string &url) {
  const size_t n = SchemeLength(url);
  return n == 0 || url.compare(0, n, "file") == 0;
}

// Converts through the locale; false when some character has no representation.
bool WideToLocale(const std::wstring &text, std::string &out) {
  out.clear();
  std::mbstate_t state{};
  char buf[MB_LEN_MAX];
  for (wchar_t c : text) {
    const size_t n = wcrtomb(buf, c, &state);
    if (n == static_cast<size_t>(-1)) return false;
    out.append(buf, n);
  }
  return true;
}

bool LocaleToWide(const std::string &text, std::wstring &out) {
  out.clear();
  std::mbstate_t state{};
  const char *p = text.data();
  size_t left = text.size();
  while (left > 0) {
    wchar_t c;
    const size_t n = mbrtowc(&c, p, left, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) return false;
    const size_t used = n == 0 ? 1 : n;
    out.push_back(c);
    p += used;
    left -= used;
  }
  return true;
}

// The stream's opaque pointer carries the file descriptor itself.
int FdOf(void *opaque) {
  return static_cast<int>(reinterpret_cast<intptr_t>(opaque));
}

// The system's reason travels on as the library's error code (permission denied, is a directory,
// no space left), so that the message the user sees names it.
int UnicodeRead(void *opaque, uint8_t *buf, int size) {
  const ssize_t n = read(FdOf(opaque), buf, size);
  if (n < 0) return AVERROR(errno);
  return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

int UnicodeWrite(void *opaque, uint8_t *buf, int size) {
  const ssize_t n = write(FdOf(opaque), buf, size);
  return n < 0 ? AVERROR(errno) : static_cast<int>(n);
}

int64_t UnicodeSeek(void *opaque, int64_t pos, int whence) {
  const int fd = FdOf(opaque);
  if (whence & AVSEEK_SIZE) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
  }
  const off_t r = lseek(fd, pos, whence & ~AVSEEK_FORCE);
  return r < 0 ? AVERROR(errno) : static_cast<int64_t>(r);
}

bool IsUnicodeURL(const char *url) {
  return url && strlen(url) > strlen(UnicodeURLPrefix) &&
         strncmp(url, UnicodeURLPrefix, strlen(UnicodeURLPrefix)) == 0;
}

bool IsOurs(const AVIOContext *pb) {
  return pb && pb->seek == &UnicodeSeek;
}

int OpenUnicodeIO(AVIOContext **pb, const char *url, int flags) {
  const std::string path = FileNameToPath(URLToFileName(url));
  int mode = O_RDONLY;
  if ((flags & AVIO_FLAG_READ_WRITE) == AVIO_FLAG_READ_WRITE)
    mode = O_RDWR | O_CREAT | O_TRUNC;
  else if (flags & AVIO_FLAG_WRITE)
    mode = O_WRONLY | O_CREAT | O_TRUNC;
  const int fd = open(path.c_str(), mode | O_CLOEXEC, 0644);
  if (fd < 0) return AVERROR(errno);
  // A folder opens for reading like a file; say what it is before anyone reads from it.
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    return AVERROR(EISDIR);
  }

  void *file = reinterpret_cast<void *>(static_cast<intptr_t>(fd));
  auto *buffer = static_cast<unsigned char *>(ff::av_malloc(IOBufferSize));
  const bool writing = (flags & AVIO_FLAG_WRITE) != 0;
  *pb = buffer ? ff::avio_alloc_context(buffer, IOBufferSize, writing ? 1 : 0, file, &UnicodeRead,
                                        writing ? &UnicodeWrite : nullptr, &UnicodeSeek)
               : nullptr;
  if (!*pb) {
    ff::av_free(buffer);
    close(fd);
    return AVERROR(ENOMEM);
  }
  return 0;
}

void CloseUnicodeIO(AVIOContext **pb) {
  const int fd = FdOf((*pb)->opaque);
  if ((*pb)->write_flag) ff::avio_flush(*pb);
  ff::av_freep(&(*pb)->buffer);
  ff::avio_context_free(pb);
  close(fd);
}

}  // namespace

std::string WideToUTF8(const std::wstring &text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    const auto c = static_cast<uint32_t>(wc);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring UTF8ToWide(const std::string &text) {
  std::wstring out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    uint32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : extra == 1 ? b & 0x1F : b;
    if (b >= 0x80 && b < 0xC0) extra = 0;  // stray continuation byte: keep it as it is
    ++i;
    for (; extra > 0 && i < text.size(); --extra, ++i)
      c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

std::string FileNameToPath(const std::wstring &name) {
  return WideToUTF8(name);
}

bool NeedsUnicodeURL(const std::wstring &name) {
  if (const auto colon = name.find(L':'); colon != std::wstring::npos) {
    const std::string scheme = ":" + WideToUTF8(name.substr(0, colon)) + ":";
    if (strstr(PassThroughSchemes, scheme.c_str())) return false;
  }
  std::string local;
  std::wstring back;
  return !WideToLocale(name, local) || !LocaleToWide(local, back) || back != name;
}

std::string FileNameToURL(const std::wstring &name) {
  std::string url;
  if (NeedsUnicodeURL(name))
    url = UnicodeURLPrefix + WideToUTF8(name);
  else if (!WideToLocale(name, url))
    url = WideToUTF8(name);  // an address of another scheme: its bytes as UTF-8
  // A local name such as "take:1.mp4" would be read as an address of the scheme "take".
  if (!IsAddress(url) && SchemeLength(url) > 0) url = LocalFilePrefix + url;
  if (url.size() > MaxURLBytes)
    throw EFileNameTooLong("File name is too long (" + std::to_string(url.size()) +
                           " bytes, at most " + std::to_string(MaxURLBytes) +
                           "): " + WideToUTF8(name));
  return url;
}

std::wstring URLToFileName(const std::string &url) {
  if (url.rfind(LocalFilePrefix, 0) == 0 && !IsAddress(url.substr(strlen(LocalFilePrefix))))
    return URLToFileName(url.substr(strlen(LocalFilePrefix)));
  if (IsUnicodeURL(url.c_str())) {
    const std::wstring wide = UTF8ToWide(url);
    // Drop "unicode:utf8:", i.e. everything up to and including the second colon.
    const auto first = wide.find(L':');
    return wide.substr(wide.find(L':', first + 1) + 1);
  }
  std::wstring wide;
  if (!LocaleToWide(url, wide)) wide = UTF8ToWide(url);
  return wide;
}

namespace {

// avformat_open_input for our own addresses as well as the libraries' ones.
int OpenInput(AVFormatContext **ic, const char *url, const AVInputFormat *fmt,
              AVDictionary **options) {
  if (!IsUnicodeURL(url)) return ff::avformat_open_input(ic, url, fmt, options);
  // Like the library's own open, a failure frees a context the caller allocated beforehand.
  AVIOContext *pb = nullptr;
  if (const int err = OpenUnicodeIO(&pb, url, AVIO_FLAG_READ); err < 0) {
    if (*ic) ff::avformat_free_context(*ic);
    *ic = nullptr;
    return err;
  }
  if (!*ic) *ic = ff::avformat_alloc_context();
  if (!*ic) {
    CloseUnicodeIO(&pb);
    return AVERROR(ENOMEM);
  }
  (*ic)->pb = pb;
  (*ic)->flags |= AVFMT_FLAG_CUSTOM_IO;
  const int err = ff::avformat_open_input(ic, url, fmt, options);
  if (err < 0) CloseUnicodeIO(&pb);  // the library freed the context but not our stream
  return err;
}

}  // namespace

int OpenInputURL(AVFormatContext **ic, const char *url, const AVInputFormat *fmt,
                 AVDictionary **options) {
  AVDictionary *own = nullptr;
  if (!options) options = &own;
  const bool local = IsUnicodeURL(url) || IsLocalFileURL(url);
  if (local && !ff::av_dict_get(*options, "protocol_whitelist", nullptr, 0))
    ff::av_dict_set(options, "protocol_whitelist", LocalFileProtocols, 0);
  const int err = OpenInput(ic, url, fmt, options);
  ff::av_dict_free(&own);
  return err;
}

void ff_handles::TInputCtxClose::operator()(AVFormatContext *c) const {
  if (c && ff::avformat_close_input) CloseInputURL(&c);
}

void CloseInputURL(AVFormatContext **ic) {
  if (!ic || !*ic) return;
  AVIOContext *pb = (*ic)->pb;
  const bool ours = ((*ic)->flags & AVFMT_FLAG_CUSTOM_IO) && IsOurs(pb);
  ff::avformat_close_input(ic);
  if (ours) CloseUnicodeIO(&pb);
}

int OpenIO(AVIOContext **pb, const char *url, int flags, AVDictionary **options) {
  if (IsUnicodeURL(url)) return OpenUnicodeIO(pb, url, flags);
  return ff::avio_open2(pb, url, flags, nullptr, options);
}

void CloseIO(AVIOContext **pb) {
  if (!pb || !*pb) return;
  if (IsOurs(*pb))
    CloseUnicodeIO(pb);
  else
    ff::avio_closep(pb);
}
