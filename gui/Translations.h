// The program's language: the translations of the desktop's locale, and the texts of the logic
// put into it when a window shows them.
#pragma once

#include <QString>
#include <string>

class QCoreApplication;
class QLocale;

// Installs the program's catalogue for `locale` (morvane_de.qm ... from `folder`, by default the
// "translations" data folder) and Qt's own for its standard buttons, where they exist.  English,
// the language of the texts themselves, needs only the plural forms of its counts (morvane_en.qm,
// installed for every locale).  False when the program has no catalogue for a locale of another
// language.
bool InstallTranslations(QCoreApplication &app, const QLocale &locale, QString folder = {});

// A text of the logic (marked with QT_TRANSLATE_NOOP in the "Messages" context) in the user's
// language.  A text the logic built from a marked pattern ("...%1...") and its values is matched
// against the patterns, so that the values keep their place in the translated sentence; a text
// that has no translation is shown as it is.
QString ShownText(const std::string &text);
