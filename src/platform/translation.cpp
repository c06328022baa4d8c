#include "platform/translation.h"

#include <QLibraryInfo>

namespace ba {

// The translations are built into the program as :/i18n/beat_analyser_LANG.qm.
std::unique_ptr<QTranslator> load_translation(const QLocale& locale) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(locale, QStringLiteral("beat_analyser"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")))
    return nullptr;
  return translator;
}

// Qt keeps its translations beside its libraries (qtbase_ja.qm in
// /usr/share/qt6/translations on Debian).
std::unique_ptr<QTranslator> load_qt_translation(const QLocale& locale) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return nullptr;
  return translator;
}

}  // namespace ba
