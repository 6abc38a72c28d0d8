// The process-wide object with the file paths and product texts every window uses.
#pragma once

#include <string>
#include <vector>

class TGlobalObject {
 public:
  // Paths from the environment (MORVANE_SETTINGS_INI, MORVANE_FORMAT_INI) when set, otherwise the
  // settings store in the user's configuration folder and the format INI found among the
  // program's data folders.
  TGlobalObject();
  // Explicit paths (tests, a second configuration); the texts keep their product values.
  TGlobalObject(const std::string &settingsIniPath, const std::string &formatIniPath);

  const std::string &HelpUrl() const { return FHelpUrl; }
  const std::string &SettingsIniPath() const { return FSettingsIniPath; }
  const std::string &FormatIniPath() const { return FFormatIniPath; }
  const std::string &ProductTitle() const { return FProductTitle; }
  const std::string &VersionText() const { return FVersionText; }
  const std::string &UpdateUrl() const { return FUpdateUrl; }
  const std::string &WebSiteUrl() const { return FWebSiteUrl; }

  // An empty value is ignored, so a failed look-up never wipes a field; the two paths also
  // ignore values too short to name a file (3 characters or fewer).
  void SetHelpUrl(const std::string &value);
  void SetSettingsIniPath(const std::string &value);
  void SetFormatIniPath(const std::string &value);
  void SetProductTitle(const std::string &value);
  void SetVersionText(const std::string &value);
  void SetUpdateUrl(const std::string &value);
  void SetWebSiteUrl(const std::string &value);

 private:
  std::string FHelpUrl;
  std::string FSettingsIniPath;
  std::string FFormatIniPath;
  std::string FProductTitle;
  std::string FVersionText;
  std::string FUpdateUrl;
  std::string FWebSiteUrl;
};

// The product web site's start page ("Support and Contact").
std::string SupportUrl();

// The entries of the "Related Software" menu: the product's sibling programs and their pages.
struct TRelatedProduct {
  const char *Caption;
  const char *Url;
};
inline constexpr int RelatedProductCount = 10;
const TRelatedProduct (&RelatedSoftware())[RelatedProductCount];

// A notice the progress window shows while converting: a line of text and the page it links to.
// The update document brings the current ones; these are shown when it cannot be had.
struct TAdInfo {
  std::string Info;
  std::string Url;
};
inline constexpr int BuiltInAdCount = 7;
const std::vector<TAdInfo> &BuiltInAdList();

// Where the update document is served when the settings store names no other address.
std::string DefaultUpdateDocumentUrl();

inline constexpr const char SettingsIniName[] = "morvanemp4videoconverter.ini";
inline constexpr const char FormatIniName[] = "morvanemp4format.ini";

// " major.minorbuildrelease " - minor, build and release run together after the single point so
// that the update check can read the whole text as one floating-point number (3.3.0.0 -> " 3.300
// ").
std::string VersionTextOf(unsigned major, unsigned minor, unsigned build, unsigned release);

// The version text of this build of the program.
std::string ProgramVersionText();

// Where the settings store lives by default: the user's configuration folder.
std::string DefaultSettingsIniPath();
// Where the format INI is found by default; falls back to the name in the executable's data
// folder (which then reads as a missing file, so every profile gets the readers' defaults).
std::string DefaultFormatIniPath();
