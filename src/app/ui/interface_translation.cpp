#include "interface_translation.h"

#include <QApplication>
#include <stdexcept>

#include "app_style.h"
#include "message_box.h"

// Q_INIT_RESOURCE must stand outside any namespace.
static void InitTranslationResources()
{
    Q_INIT_RESOURCE(interface_translations);
}

namespace sonfeld::app {

std::unique_ptr<QTranslator> InterfaceTranslator(TInterfaceLanguage language)
{
    if (language == TInterfaceLanguage::Chinese)
        return nullptr;
    static const bool loaded = [] {
        InitTranslationResources();
        return true;
    }();
    (void)loaded;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/sonfeld_en.qm")))
        throw std::runtime_error("The English translation is missing from the program.");
    return translator;
}

TInterfaceLanguage InstallInterfaceLanguage(QApplication& application)
{
    TInterfaceLanguage language = TInterfaceLanguage::Chinese;
    Guarded(nullptr, [&] { language = StoredInterfaceLanguage(); });
    std::unique_ptr<QTranslator> translator;
    if (!Guarded(nullptr, [&] { translator = InterfaceTranslator(language); }))
        language = TInterfaceLanguage::Chinese;
    if (!translator) {
        // Qt's own buttons and dialogs speak Chinese too; in English they
        // keep Qt's built-in texts.
        LoadQtTranslations(application);
        return TInterfaceLanguage::Chinese;
    }
    translator->setParent(&application);
    QCoreApplication::installTranslator(translator.release());
    return language;
}

} // namespace sonfeld::app
