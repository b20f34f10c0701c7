#pragma once

#include <QString>

// The window's language, the setting "界面语言": Chinese unless English is
// stored, whatever the system's locale says.
namespace sonfeld::app {

enum class TInterfaceLanguage {
    Chinese, // "zh_CN", the default
    English, // "en"
};

// The value kept in the settings store.
QString InterfaceLanguageValue(TInterfaceLanguage language);

// The stored language; raises ESettingsError for a value that is neither.
TInterfaceLanguage StoredInterfaceLanguage();

void StoreInterfaceLanguage(TInterfaceLanguage language);

} // namespace sonfeld::app
