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
    const QString value = Read(key::kInterfaceLanguage);
    for (TInterfaceLanguage language : {TInterfaceLanguage::Chinese, TInterfaceLanguage::English})
        if (value == InterfaceLanguageValue(language))
            return language;
    throw ESettingsError(QStringLiteral("The interface language \"%1\" is neither \"zh_CN\" nor "
                                        "\"en\".")
                             .arg(value)
                             .toStdString());
}

void StoreInterfaceLanguage(TInterfaceLanguage language)
{
    Write(key::kInterfaceLanguage, InterfaceLanguageValue(language));
}

} // namespace sonfeld::app
