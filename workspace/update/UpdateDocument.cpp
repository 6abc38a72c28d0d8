#include "workspace/update/UpdateDocument.h"

#include <QFile>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "workspace/LogicTexts.h"
#include "workspace/NumberText.h"

struct TUpdateDocument::TElement {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Attributes;
  std::string Text;
  std::vector<TElement> Children;
};

namespace {

constexpr const char ErrorValue[] = "error";
// The document is a flat list; anything nested deeper is no update document (and would only
// cost stack).
constexpr int MaxDepth = 32;

std::string S(QStringView text) {
  return text.toString().toStdString();
}

// Reads the element whose start the reader stands on, with everything inside it.
bool ReadElement(QXmlStreamReader &xml, TUpdateDocument::TElement &element, int depth) {
  if (depth > MaxDepth) return false;
  element.Name = S(xml.name());
  for (const QXmlStreamAttribute &attribute : xml.attributes())
    element.Attributes.emplace_back(S(attribute.qualifiedName()), S(attribute.value()));
  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::StartElement:
        element.Children.emplace_back();
        if (!ReadElement(xml, element.Children.back(), depth + 1)) return false;
        break;
      case QXmlStreamReader::Characters: element.Text += S(xml.text()); break;
      case QXmlStreamReader::EndElement: return true;
      default: break;
    }
  }
  return false;
}

std::vector<std::string> PathParts(const std::string &path) {
  std::vector<std::string> parts;
  std::istringstream text(path);
  for (std::string part; std::getline(text, part, '.');) parts.push_back(part);
  if (!path.empty() && path.back() == '.') parts.emplace_back();
  return parts;
}

}  // namespace

TUpdateDocument TUpdateDocument::Load(const std::filesystem::path &file) {
  TUpdateDocument document;
  QFile input(QString::fromStdString(file.string()));
  if (!input.open(QIODevice::ReadOnly)) return document;
  QXmlStreamReader xml(&input);
  auto root = std::make_shared<TElement>();
  bool haveRoot = false;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    // A second root is no XML: the reader reports it.
    if (haveRoot || !ReadElement(xml, *root, 0)) return document;
    haveRoot = true;
  }
  if (xml.hasError() || !haveRoot) return document;
  document.FRoot = std::move(root);
  return document;
}

std::string TUpdateDocument::Value(const std::string &path, const std::string &attribute) const {
  if (!FRoot) return ErrorValue;
  const std::vector<std::string> parts = PathParts(path);
  if (parts.empty() || FRoot->Name != parts.front()) return "";
  const TElement *element = FRoot.get();
  for (size_t i = 1; i < parts.size(); ++i) {
    const auto child =
        std::find_if(element->Children.begin(), element->Children.end(),
                     [&](const TElement &candidate) { return candidate.Name == parts[i]; });
    if (child == element->Children.end()) return "";
    element = &*child;
  }
  const std::string name = Trimmed(attribute);
  if (name.empty()) return element->Text;
  for (const auto &[key, value] : element->Attributes)
    if (key == name) return value;
  return "";
}

size_t TUpdateDocument::RootChildCount() const {
  return FRoot ? FRoot->Children.size() : 0;
}

std::string ReadXmlValue(const std::filesystem::path &file, const std::string &path,
                         const std::string &attribute) {
  return TUpdateDocument::Load(file).Value(path, attribute);
}

int AdCountOf(const std::string &text) {
  if (const auto count = IntegerText(text)) return *count;
  throw std::invalid_argument("'" + text + "' is not a valid integer value");
}

double VersionNumberOf(const std::string &text) {
  if (const auto number = NumberText(text)) return *number;
  throw std::invalid_argument("'" + text + "' is not a valid floating point value");
}

bool IsNewerVersion(const std::string &offered, const std::string &own) {
  const double mine = VersionNumberOf(own);
  return VersionNumberOf(offered) > mine;
}

std::string UpgradeQuestion(const std::string &productTitle, const std::string &newVersion) {
  return ArgText(logictexts::UpgradeQuestion, {productTitle, newVersion});
}

bool IsWebLink(const std::string &link) {
  const QUrl url(QString::fromStdString(link), QUrl::StrictMode);
  const QString scheme = url.scheme();  // lower case, as the parser normalises it
  return url.isValid() && (scheme == "http" || scheme == "https") && !url.host().isEmpty();
}

std::vector<TAdInfo> AdListOf(const TUpdateDocument &infos, const TUpdateDocument &urls,
                              int count) {
  namespace ud = updatedocument;
  std::vector<TAdInfo> list;
  const size_t entries =
      std::min<size_t>(count > 0 ? static_cast<size_t>(count) : 0, infos.RootChildCount());
  for (size_t i = 0; i < entries; ++i) {
    const std::string row = ud::RowPath + std::to_string(i);
    std::string link = urls.Value(row, ud::UrlAttribute);
    if (!IsWebLink(link)) link.clear();
    list.push_back({infos.Value(row, ud::InfoAttribute), std::move(link)});
  }
  return list;
}
