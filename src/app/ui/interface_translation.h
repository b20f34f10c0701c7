#pragma once

#include <QTranslator>
#include <memory>

#include "app/settings/interface_language.h"

class QApplication;

namespace sonfeld::app {

// The window's translation for language, compiled into the program; null for
// Chinese, which is the texts as written and needs none. Raises
// std::runtime_error when the translation is missing from the build.
std::unique_ptr<QTranslator> InterfaceTranslator(TInterfaceLanguage language);

// At start: the stored "界面语言" with Qt's own texts to match (Chinese ones
// for Chinese). A stored value that is no language is reported and the window
// stays Chinese. Returns the language installed.
TInterfaceLanguage InstallInterfaceLanguage(QApplication& application);

} // namespace sonfeld::app
