#include "gui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTranslator>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Paths.h"
#include "services/TranslatableText.h"
#include "workspace/LogicTexts.h"

namespace {

// Whether a catalogue is installed: without one every text is shown as the logic wrote it.
bool GTranslating = false;

// The folder of the program's catalogues: "translations" among the data folders (beside the
// executable in the build tree, share/morvane when installed).
QString CatalogueFolder() {
  for (const std::filesystem::path &folder : paths::DataFolders()) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder / "translations", ec))
      return QString::fromStdString((folder / "translations").string());
  }
  return {};
}

QString Translated(const QString &text) {
  return QCoreApplication::translate(LogicTextContext, text.toUtf8().constData());
}

// A pattern of the logic ("Cannot create output directory:%1 ...") as an expression that takes
// the values apart again.
QRegularExpression PatternExpression(const QString &pattern) {
  QString expression;
  static const QRegularExpression marker(QStringLiteral("%[1-9]"));
  qsizetype from = 0;
  for (const QRegularExpressionMatch &m : marker.globalMatch(pattern)) {
    expression += QRegularExpression::escape(pattern.mid(from, m.capturedStart() - from));
    expression += QStringLiteral("(.*)");
    from = m.capturedEnd();
  }
  expression += QRegularExpression::escape(pattern.mid(from));
  // A value never spans lines: a message of several lines is several texts, or one pattern that
  // has the line break itself.
  return QRegularExpression(QRegularExpression::anchoredPattern(expression));
}

// The text put together from a translated pattern, or nothing when it follows no pattern.
std::optional<QString> FromPattern(const QString &text) {
  static const std::vector<std::pair<QString, QRegularExpression>> patterns = [] {
    std::vector<std::pair<QString, QRegularExpression>> all;
    for (const char *pattern : LogicTextPatterns()) {
      const QString source = QString::fromUtf8(pattern);
      all.emplace_back(source, PatternExpression(source));
    }
    return all;
  }();
  for (const auto &[source, expression] : patterns) {
    const QRegularExpressionMatch m = expression.match(text);
    if (!m.hasMatch()) continue;
    // The values in the order of their markers in the source text; a value that is a marked text
    // itself ("a named pipe") is translated too.
    static const QRegularExpression marker(QStringLiteral("%([1-9])"));
    QStringList values(10);
    int group = 1;
    for (const QRegularExpressionMatch &n : marker.globalMatch(source))
      values[n.captured(1).toInt()] = Translated(m.captured(group++));
    // One pass over the translated pattern, so that a value with a marker in it stays as it is.
    const QString translated = Translated(source);
    QString result;
    for (qsizetype i = 0; i < translated.size(); ++i) {
      const QChar c = translated[i];
      const QChar next = i + 1 < translated.size() ? translated[i + 1] : QChar();
      if (c == QLatin1Char('%') && next >= QLatin1Char('1') && next <= QLatin1Char('9')) {
        result += values[next.digitValue()];
        ++i;
      } else {
        result += c;
      }
    }
    return result;
  }
  return std::nullopt;
}

QString LineShown(const QString &line) {
  const QString translated = Translated(line);
  if (translated != line) return translated;
  return FromPattern(line).value_or(line);
}

}  // namespace

bool InstallTranslations(QCoreApplication &app, const QLocale &locale, QString folder) {
  // Qt's own texts (the buttons of its standard dialogs, the file dialog).
  auto qt = std::make_unique<QTranslator>(&app);
  if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(qt.release());
  if (folder.isEmpty()) folder = CatalogueFolder();
  // English is the language of the texts themselves, but a count in a text ("%n file(s)
  // converted") needs its singular and plural forms: the English catalogue holds only those and
  // stands behind whichever language the locale picks (the last installed is asked first).
  auto english = std::make_unique<QTranslator>(&app);
  if (english->load(QStringLiteral("morvane_en"), folder))
    QCoreApplication::installTranslator(english.release());
  if (locale.language() == QLocale::English || locale.language() == QLocale::C) return true;
  auto own = std::make_unique<QTranslator>(&app);
  if (!own->load(locale, QStringLiteral("morvane"), QStringLiteral("_"), folder)) return false;
  QCoreApplication::installTranslator(own.release());
  GTranslating = true;
  return true;
}

QString ShownText(const std::string &text) {
  const QString source = QString::fromStdString(text);
  if (!GTranslating || source.isEmpty()) return source;
  const QString whole = Translated(source);
  if (whole != source) return whole;
  if (const auto patterned = FromPattern(source)) return *patterned;
  // A message made of several texts, one a line (the files that were refused ...).
  if (!source.contains(QLatin1Char('\n'))) return source;
  QStringList lines = source.split(QLatin1Char('\n'));
  for (QString &line : lines) line = LineShown(line);
  return lines.join(QLatin1Char('\n'));
}
