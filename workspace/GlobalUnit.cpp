#include "workspace/GlobalUnit.h"

#include <cstdlib>
#include <iterator>

#include "platform/Paths.h"
#include "services/TranslatableText.h"

namespace {

// Addresses of the product's pages.  Kept together so that a rebranded build changes one place.
constexpr const char ProductTitleText[] = "Morvane MP4 Video Converter";
constexpr const char InitialVersionText[] = " ver 1.60 ";
constexpr const char HelpAddress[] = "https://www.morvane.com/mp4-video-converter/help.html";
constexpr const char UpdateAddress[] =
    "https://www.morvane.com/download/morvane-mp4-video-converter";
constexpr const char WebSiteAddress[] = "https://www.morvane.com/mp4-video-converter/";
constexpr const char UpdateDocumentAddress[] = "https://www.morvane.com/morvane/morvanenet.xml";
constexpr const char SupportAddress[] = "https://www.morvane.com/";
constexpr TRelatedProduct RelatedProducts[RelatedProductCount] = {
    {"Morvane Audio Converter", "https://www.morvane.com/audio-converter/"},
    {"Morvane DVD Ripper", "https://www.morvane.com/dvd-ripper/"},
    {"Morvane Video Joiner", "https://www.morvane.com/video-joiner/"},
    {"Morvane Video Splitter", "https://www.morvane.com/video-splitter/"},
    {"Morvane GIF Maker", "https://www.morvane.com/gif-maker/"},
    {"Morvane Screen Recorder", "https://www.morvane.com/screen-recorder/"},
    {"Morvane Slideshow Maker", "https://www.morvane.com/slideshow-maker/"},
    {"Morvane Subtitle Editor", "https://www.morvane.com/subtitle-editor/"},
    {"Morvane Media Player", "https://www.morvane.com/media-player/"},
    {"Morvane Photo Resizer", "https://www.morvane.com/photo-resizer/"}};

const TAdInfo BuiltInAds[BuiltInAdCount] = {
    {QT_TRANSLATE_NOOP(
         "Messages",
         "Convert a whole batch of clips for iPod, iPhone, PSP or your phone in one go."),
     "https://www.morvane.com/mp4-video-converter/"},
    {QT_TRANSLATE_NOOP("Messages",
                       "Trim, crop and add your own watermark before you convert: Edit > Trim, "
                       "Crop, Water Mark."),
     "https://www.morvane.com/mp4-video-converter/help.html#editors"},
    {QT_TRANSLATE_NOOP(
         "Messages",
         "Keep a still of any moment: the preview's camera button saves it as BMP or JPEG."),
     "https://www.morvane.com/mp4-video-converter/help.html#snapshots"},
    {QT_TRANSLATE_NOOP(
         "Messages", "130 ready-made profiles in 32 groups, from Apple TV to H.265, AV1 and WebM."),
     "https://www.morvane.com/mp4-video-converter/profiles.html"},
    {QT_TRANSLATE_NOOP("Messages",
                       "Tip: set the work priority to Idle (Tools > Preference) to keep working "
                       "while you convert."),
     "https://www.morvane.com/mp4-video-converter/help.html#preferences"},
    {QT_TRANSLATE_NOOP("Messages",
                       "A newer Morvane MP4 Video Converter may be out: see what is new."),
     "https://www.morvane.com/download/morvane-mp4-video-converter"},
    {QT_TRANSLATE_NOOP("Messages", "Questions or ideas? Write to us: we read every message."),
     "https://www.morvane.com/"}};

std::string EnvOr(const char *name, const std::string &fallback) {
  const char *value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

TGlobalObject::TGlobalObject()
    : TGlobalObject(EnvOr("MORVANE_SETTINGS_INI", DefaultSettingsIniPath()),
                    EnvOr("MORVANE_FORMAT_INI", DefaultFormatIniPath())) {}

TGlobalObject::TGlobalObject(const std::string &settingsIniPath, const std::string &formatIniPath)
    : FHelpUrl(HelpAddress),
      FProductTitle(ProductTitleText),
      FVersionText(InitialVersionText),
      FUpdateUrl(UpdateAddress),
      FWebSiteUrl(WebSiteAddress) {
  SetSettingsIniPath(settingsIniPath);
  SetFormatIniPath(formatIniPath);
}

void TGlobalObject::SetHelpUrl(const std::string &value) {
  if (!value.empty()) FHelpUrl = value;
}

void TGlobalObject::SetSettingsIniPath(const std::string &value) {
  if (value.size() > 3) FSettingsIniPath = value;
}

void TGlobalObject::SetFormatIniPath(const std::string &value) {
  if (value.size() > 3) FFormatIniPath = value;
}

void TGlobalObject::SetProductTitle(const std::string &value) {
  if (!value.empty()) FProductTitle = value;
}

void TGlobalObject::SetVersionText(const std::string &value) {
  if (!value.empty()) FVersionText = value;
}

void TGlobalObject::SetUpdateUrl(const std::string &value) {
  if (!value.empty()) FUpdateUrl = value;
}

void TGlobalObject::SetWebSiteUrl(const std::string &value) {
  if (!value.empty()) FWebSiteUrl = value;
}

std::string VersionTextOf(unsigned major, unsigned minor, unsigned build, unsigned release) {
  return " " + std::to_string(major) + "." + std::to_string(minor) + std::to_string(build) +
         std::to_string(release) + " ";
}

std::string ProgramVersionText() {
  return VersionTextOf(MORVANE_VERSION_MAJOR, MORVANE_VERSION_MINOR, MORVANE_VERSION_PATCH, 0);
}

std::string SupportUrl() {
  return SupportAddress;
}

const TRelatedProduct (&RelatedSoftware())[RelatedProductCount] {
  return RelatedProducts;
}

const std::vector<TAdInfo> &BuiltInAdList() {
  static const std::vector<TAdInfo> list(std::begin(BuiltInAds), std::end(BuiltInAds));
  return list;
}

std::string DefaultUpdateDocumentUrl() {
  return UpdateDocumentAddress;
}

std::string DefaultSettingsIniPath() {
  return (paths::ConfigFolder() / SettingsIniName).string();
}

std::string DefaultFormatIniPath() {
  const auto found = paths::FindDataFile(FormatIniName);
  if (!found.empty()) return found.string();
  return (paths::ExecutableFolder() / "data" / FormatIniName).string();
}
