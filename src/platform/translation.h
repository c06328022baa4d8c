#pragma once
// The window mode's menu, status and question texts in the person's
// language. The program's own dialogue is not translated: it stays as the
// program writes it.

#include <QLocale>
#include <QTranslator>
#include <memory>

namespace ba {

// The translation for `locale`, or nothing when there is none (English).
std::unique_ptr<QTranslator> load_translation(const QLocale& locale);

// Qt's own texts for `locale` (the buttons and labels of the file and message
// dialogs), from the Qt installation; nothing when it has none.
std::unique_ptr<QTranslator> load_qt_translation(const QLocale& locale);

}  // namespace ba
