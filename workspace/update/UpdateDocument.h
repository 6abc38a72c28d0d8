// The update document the product's web server offers, and what the program reads from it: the
// newest version and the notices for the progress window.
//
//   <XMLPackage>
//     <count number="2"/>
//     <videoversion number="3.4"/>
//     <row0 info="..." url="..."/>
//     <row1 info="..." url="..."/>
//   </XMLPackage>
//
// Values are addressed by a path of element names separated by "." and an attribute name.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "services/TranslatableText.h"
#include "workspace/GlobalUnit.h"

namespace updatedocument {
inline constexpr const char FetchedFile[] = "morvanenet.xml";  // as fetched at this start
inline constexpr const char CacheFile[] = "morvane.xml";       // the last good copy, used offline
inline constexpr const char CountPath[] = "XMLPackage.count";
inline constexpr const char VersionPath[] = "XMLPackage.videoversion";
inline constexpr const char NumberAttribute[] = "number";
inline constexpr const char RowPath[] = "XMLPackage.row";  // followed by the entry's index
inline constexpr const char InfoAttribute[] = "info";
inline constexpr const char UrlAttribute[] = "url";
inline constexpr const char UpgradeCaption[] =
    QT_TRANSLATE_NOOP("Messages", "Warning - New Version Available for Download.");
}  // namespace updatedocument

class TUpdateDocument {
 public:
  // Reads and parses the file.  A file that is missing or is no well-formed XML gives a document
  // whose every value is "error".
  static TUpdateDocument Load(const std::filesystem::path &file);

  // The value at `path`: the first element of each name in turn, starting with the root.  With
  // an attribute name (blanks trimmed) that attribute's value, otherwise the element's text;
  // empty when an element or the attribute is missing; "error" when the file could not be read.
  std::string Value(const std::string &path, const std::string &attribute) const;

  // Elements directly below the root: no document describes more entries than that.
  size_t RootChildCount() const;

  struct TElement;

 private:
  std::shared_ptr<const TElement> FRoot;  // nullptr: the file could not be read
};

// TUpdateDocument::Load(file).Value(path, attribute).
std::string ReadXmlValue(const std::filesystem::path &file, const std::string &path,
                         const std::string &attribute);

// The number of entries as the document writes it.  Throws std::invalid_argument "'TEXT' is not a
// valid integer value" for any other text ("error", empty).
int AdCountOf(const std::string &text);
// A version text such as " 3.300 " or "3.31" as a number (the decimal separator is always ".").
// Throws std::invalid_argument "'TEXT' is not a valid floating point value" for other text.
double VersionNumberOf(const std::string &text);
// Whether the offered version is newer than our own; equal is not newer.
bool IsNewerVersion(const std::string &offered, const std::string &own);
std::string UpgradeQuestion(const std::string &productTitle, const std::string &newVersion);

// Whether a notice's link may be handed to the desktop: a web address (scheme http or https,
// with a host) and nothing else.  A document could otherwise have the desktop open a local file,
// a share or a program's desktop entry.
bool IsWebLink(const std::string &link);

// The first `count` entries (no more than the document has elements), the texts read from
// `infos` and the links from `urls`; a link that is no web link is left out (the text stays).
std::vector<TAdInfo> AdListOf(const TUpdateDocument &infos, const TUpdateDocument &urls, int count);
