// The settings page's "界面语言" row: the window's language, read at start.

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include "app/settings/interface_language.h"
#include "app/settings/settings_store.h"
#include "app/text/shown_text.h"
#include "settings_page.h"

namespace sonfeld::app {

QWidget* TSettingsPage::CreateLanguageBox(QWidget* parent)
{
    auto* box = new QGroupBox(TShownText::tr("界面语言"), parent);
    auto* layout = new QHBoxLayout(box);
    comboInterfaceLanguage = new QComboBox(box);
    comboInterfaceLanguage->setObjectName(QStringLiteral("comboInterfaceLanguage"));
    comboInterfaceLanguage->setAccessibleName(TShownText::tr("界面语言"));
    // Each language is named in itself, so a user who cannot read the other
    // still finds their own.
    const QString chinese = QStringLiteral("中文"); // untranslated: its own name
    comboInterfaceLanguage->addItem(chinese, InterfaceLanguageValue(TInterfaceLanguage::Chinese));
    comboInterfaceLanguage->addItem(QStringLiteral("English"),
                                    InterfaceLanguageValue(TInterfaceLanguage::English));
    layout->addWidget(comboInterfaceLanguage);
    auto* note = new QLabel(TShownText::tr("重新启动后生效"), box);
    note->setObjectName(QStringLiteral("lblLanguageNote"));
    layout->addWidget(note, 1);
    return box;
}

void TSettingsPage::LoadLanguageSetting()
{
    // A stored value that is no language was reported at start; the window
    // speaks Chinese then, and so does the box.
    TInterfaceLanguage language = TInterfaceLanguage::Chinese;
    try {
        language = StoredInterfaceLanguage();
    } catch (const ESettingsError&) {
    }
    comboInterfaceLanguage->setCurrentIndex(
        comboInterfaceLanguage->findData(InterfaceLanguageValue(language)));
}

void TSettingsPage::SaveLanguageSetting()
{
    StoreInterfaceLanguage(comboInterfaceLanguage->currentData().toString() ==
                                   InterfaceLanguageValue(TInterfaceLanguage::English)
                               ? TInterfaceLanguage::English
                               : TInterfaceLanguage::Chinese);
}

} // namespace sonfeld::app
