#include "editors/decoration/DecorationOptions.h"

#include <QColor>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

// A whole number and nothing else.
bool ParseInt(const std::string &text, int &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (*end || errno == ERANGE || n < -1000000 || n > 1000000) return false;
  value = static_cast<int>(n);
  return true;
}

std::string RangeText(const TValueRange &range) {
  return std::to_string(range.Min) + " to " + std::to_string(range.Max);
}

// Reads a number within `range` into `field`; returns the refusal.
std::string ReadNumber(const std::string &option, const std::string &text, const TValueRange &range,
                       int &field) {
  int value = 0;
  if (!ParseInt(text, value) || !range.Contains(value))
    return option + " wants a whole number from " + RangeText(range) + ", not \"" + text + "\"";
  field = value;
  return {};
}

// "X,Y" in per cent.
std::string ReadPosition(const std::string &option, const std::string &text, int &x, int &y) {
  const auto comma = text.find(',');
  int px = 0, py = 0;
  if (comma == std::string::npos || !ParseInt(text.substr(0, comma), px) ||
      !ParseInt(text.substr(comma + 1), py) || !decorationranges::Position.Contains(px) ||
      !decorationranges::Position.Contains(py))
    return option + " wants X,Y in per cent of the frame, each from " +
           RangeText(decorationranges::Position) + ", not \"" + text + "\"";
  x = px;
  y = py;
  return {};
}

std::string ReadStyle(const std::string &text, TMarkFont &font) {
  TMarkFont styled = font;
  styled.Bold = styled.Italic = styled.Underline = styled.StrikeOut = false;
  std::stringstream words(text);
  std::string word;
  while (std::getline(words, word, ',')) {
    if (word == "bold")
      styled.Bold = true;
    else if (word == "italic")
      styled.Italic = true;
    else if (word == "underline")
      styled.Underline = true;
    else if (word == "strikeout")
      styled.StrikeOut = true;
    else if (!word.empty() && word != "regular")
      return "--text-style wants bold, italic, underline, strikeout or regular, separated by "
             "commas, not \"" +
             text + "\"";
  }
  font = styled;
  return {};
}

}  // namespace

bool ParseMarkColor(const std::string &text, uint32_t &color) {
  const QColor c(QString::fromStdString(text));
  if (text.empty() || !c.isValid()) return false;
  color = static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
          static_cast<uint32_t>(c.blue()) << 16;
  return true;
}

const char TDecorationOptions::HelpText[] =
    "Effects (the watermark editor's ranges):\n"
    "  --brightness N        0 to 512 (255: unchanged)\n"
    "  --contrast N          -100 to 100 (0: unchanged)\n"
    "  --saturation N        0 to 512 (255: unchanged)\n"
    "  --exposure N          -255 to 512 (0: unchanged)\n"
    "  --effects-on-text     the effects also change the watermark text\n"
    "  --effects-on-image    the effects also change the watermark picture\n"
    "Watermark text:\n"
    "  --text TEXT           the text drawn on every frame\n"
    "  --text-font NAME      font family (default: the system's)\n"
    "  --text-size N         7 to 70 points (default 8)\n"
    "  --text-color COLOR    a colour name or #RRGGBB (default black)\n"
    "  --text-style LIST     bold, italic, underline, strikeout, separated by commas\n"
    "  --text-position X,Y   top left corner in per cent of the frame, 0 to 100 each (default "
    "0,0)\n"
    "Watermark picture:\n"
    "  --image FILE          a picture (BMP, PNG, JPEG) blended on every frame\n"
    "  --image-position X,Y  top left corner in per cent of the frame, 0 to 100 each (default "
    "0,0)\n"
    "  --image-opacity N     0 to 255 (default 168)\n"
    "  --image-style N       1 or 2: transparent style 1 or 2 (default 1)\n";

bool TDecorationOptions::Handles(const std::string &option) {
  static const char *const Options[] = {
      "--brightness",      "--contrast",         "--saturation",    "--exposure",
      "--effects-on-text", "--effects-on-image", "--text",          "--text-font",
      "--text-size",       "--text-color",       "--text-style",    "--text-position",
      "--image",           "--image-position",   "--image-opacity", "--image-style"};
  for (const char *known : Options)
    if (option == known) return true;
  return false;
}

bool TDecorationOptions::TakesValue(const std::string &option) {
  return option != "--effects-on-text" && option != "--effects-on-image";
}

std::string TDecorationOptions::Set(const std::string &option, const std::string &value) {
  namespace range = decorationranges;
  TlvFilesRecord &v = FValues;
  FTextOptionGiven |= option.rfind("--text-", 0) == 0;
  FImageOptionGiven |= option.rfind("--image-", 0) == 0;
  if (option == "--brightness") return ReadNumber(option, value, range::Brightness, v.Brightness);
  if (option == "--contrast") return ReadNumber(option, value, range::Contrast, v.Contrast);
  if (option == "--saturation") return ReadNumber(option, value, range::Saturation, v.Saturation);
  if (option == "--exposure") return ReadNumber(option, value, range::Exposure, v.Exposure);
  if (option == "--effects-on-text") return v.EffectOnText = true, std::string();
  if (option == "--effects-on-image") return v.EffectOnImage = true, std::string();
  if (option == "--text") {
    if (value.empty()) return "--text wants a text that is not empty";
    v.MarkText = value;
    return {};
  }
  if (option == "--text-font") {
    if (value.empty()) return "--text-font wants a font name";
    v.MarkFont.Name = value;
    return {};
  }
  if (option == "--text-size") return ReadNumber(option, value, range::FontSize, v.MarkFont.Size);
  if (option == "--text-color") {
    if (!ParseMarkColor(value, v.MarkFont.Color))
      return "--text-color wants a colour name or #RRGGBB, not \"" + value + "\"";
    return {};
  }
  if (option == "--text-style") return ReadStyle(value, v.MarkFont);
  if (option == "--text-position")
    return ReadPosition(option, value, v.MarkTextHorzPos, v.MarkTextVertPos);
  if (option == "--image") {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(value, ec))
      return "--image: no picture file \"" + value + "\"";
    v.MarkImage = value;
    return {};
  }
  if (option == "--image-position")
    return ReadPosition(option, value, v.MarkImageHorzPos, v.MarkImageVertPos);
  if (option == "--image-opacity")
    return ReadNumber(option, value, range::Opacity, v.MarkImageAlpha);
  if (option == "--image-style")
    return ReadNumber(option, value, range::ImageStyle, v.MarkImageStyle);
  return "unknown option " + option;
}

std::string TDecorationOptions::Check() const {
  if (FTextOptionGiven && FValues.MarkText.empty())
    return "the --text-... options need a watermark text (--text TEXT)";
  if (FImageOptionGiven && FValues.MarkImage.empty())
    return "the --image-... options need a watermark picture (--image FILE)";
  return {};
}

void TDecorationOptions::ApplyTo(TlvFilesRecord &record, int frameWidth, int frameHeight) const {
  const TlvFilesRecord &v = FValues;
  record.Brightness = v.Brightness;
  record.Contrast = v.Contrast;
  record.Saturation = v.Saturation;
  record.Exposure = v.Exposure;
  record.EffectOnText = v.EffectOnText;
  record.EffectOnImage = v.EffectOnImage;
  record.MarkText = v.MarkText;
  record.MarkFont = v.MarkFont;
  record.MarkTextHorzPos = v.MarkTextHorzPos;
  record.MarkTextVertPos = v.MarkTextVertPos;
  const TMarkPoint text =
      TWaterMarkValues::Position(frameWidth, frameHeight, v.MarkTextHorzPos, v.MarkTextVertPos);
  record.MarkTextX = text.X;
  record.MarkTextY = text.Y;
  record.MarkImage = v.MarkImage;
  record.MarkImageHorzPos = v.MarkImageHorzPos;
  record.MarkImageVertPos = v.MarkImageVertPos;
  const TMarkPoint image =
      TWaterMarkValues::Position(frameWidth, frameHeight, v.MarkImageHorzPos, v.MarkImageVertPos);
  record.MarkImageX = image.X;
  record.MarkImageY = image.Y;
  record.MarkImageAlpha = v.MarkImageAlpha;
  record.MarkImageStyle = v.MarkImageStyle;
}
