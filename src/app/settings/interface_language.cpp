#include "interface_language.h"

#include "setting_keys.h"
#include "settings_store.h"

namespace sonfeld::app {

QString InterfaceLanguageValue(TInterfaceLanguage language)
{
    return language == TInterfaceLanguage::English ? QStringLiteral("en") : QStringLiteral("zh_CN");
}

TInterfaceLanguage StoredInterfaceLanguage()
{
    // The key takes no other value.
    return Read(key::kInterfaceLanguage) == InterfaceLanguageValue(TInterfaceLanguage::English)
               ? TInterfaceLanguage::English
               : TInterfaceLanguage::Chinese;
}

void StoreInterfaceLanguage(TInterfaceLanguage language)
{
    Write(key::kInterfaceLanguage, InterfaceLanguageValue(language));
}

} // namespace sonfeld::app
