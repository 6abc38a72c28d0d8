#include "gui/UserDialogs.h"

#include "gui/Translations.h"
#include "workspace/ConversionList.h"

bool TDialogQuestions::AskYesNo(const std::string &text, const std::string &caption) {
  return FDialogs.AskYesNo(FParent, Caption(caption), ShownText(text));
}

void TDialogQuestions::ShowMessage(const std::string &text, const std::string &caption) {
  const TMessageIcon icon = caption == WarningCaption      ? TMessageIcon::Warning
                            : caption == InputErrorCaption ? TMessageIcon::Error
                                                           : TMessageIcon::None;
  FDialogs.ShowMessage(FParent, Caption(caption), ShownText(text), icon);
}

QString TDialogQuestions::Caption(const std::string &caption) const {
  return caption.empty() ? FTitle : ShownText(caption);
}

QStringList AddDialogNameFilters() {
  QStringList filters;
  for (const TFileFilter &filter : AddDialogFilters()) {
    QStringList patterns;
    for (const std::string &pattern : filter.Patterns) {
      const QString p = QString::fromStdString(pattern);
      for (const QString &form : {p.toLower(), p.toUpper()})
        if (!patterns.contains(form)) patterns << form;
    }
    filters << QString::fromStdString(filter.Name) + " (" + patterns.join(' ') + ")";
  }
  return filters;
}
