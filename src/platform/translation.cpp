#include "platform/translation.h"

namespace ba {

// The translations are built into the program as :/i18n/beat_analyser_LANG.qm.
std::unique_ptr<QTranslator> load_translation(const QLocale& locale) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(locale, QStringLiteral("beat_analyser"), QStringLiteral("_"),
                        QStringLiteral(":/i18n")))
    return nullptr;
  return translator;
}

}  // namespace ba
