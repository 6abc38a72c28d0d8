// File names that the current locale cannot represent, handed to the media libraries.
//
// The libraries take 8-bit names.  A name that the locale's character set cannot represent is
// passed as the address "unicode:utf8:" + the UTF-8 form of the name; every place that opens a
// name through the libraries goes through the Open/Close helpers here, which serve such addresses
// with a byte stream of our own (open, read, write, seek with size query, close).
#pragma once

#include <stdexcept>
#include <string>

struct AVFormatContext;
struct AVInputFormat;
struct AVIOContext;
struct AVDictionary;

inline constexpr const char UnicodeURLPrefix[] = "unicode:utf8:";
inline constexpr size_t MaxURLBytes = 2047;

// Raised for a name whose address would be longer than MaxURLBytes.
struct EFileNameTooLong : std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool NeedsUnicodeURL(const std::wstring &name);
std::string FileNameToURL(const std::wstring &name);
std::wstring URLToFileName(const std::string &url);

// UTF-8 <-> wide text, shared by the front ends.
std::string WideToUTF8(const std::wstring &text);
std::wstring UTF8ToWide(const std::string &text);

// The name in the bytes the file system uses (UTF-8), for our own file access.
std::string FileNameToPath(const std::wstring &name);

// avformat_open_input for any address this program produces.  Close with CloseInputURL.
int OpenInputURL(AVFormatContext **ic, const char *url, const AVInputFormat *fmt,
                 AVDictionary **options);
void CloseInputURL(AVFormatContext **ic);

// avio_open2 for any address this program produces (flags: AVIO_FLAG_*).  Close with CloseIO.
int OpenIO(AVIOContext **pb, const char *url, int flags, AVDictionary **options = nullptr);
void CloseIO(AVIOContext **pb);
