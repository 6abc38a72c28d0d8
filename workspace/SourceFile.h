// What a conversion source has to be before anything opens it.  Opening a named pipe for
// reading waits until a writer comes, and a device or socket is not a file to convert at all:
// the window's Add, drop and command line, its Start and the command-line converter all ask
// this one rule first, so that no open can hang the program on such a name.
#pragma once

#include <string>

// Whether `text` is well-formed UTF-8 (no stray or overlong sequences, no surrogates).
bool IsValidUTF8(const std::string &text);

// The name as it can be shown: bytes that are not UTF-8 appear as "\xNN".
std::string PrintableFileName(const std::string &path);

// Why `path` cannot be converted, in words that name it ("PATH: ..."); empty when it is a
// regular file (or a link to one), or when it cannot be looked at (the open then tells why).
// Only stat() is used: nothing is opened.
std::string SourceFileRefusal(const std::string &path);
