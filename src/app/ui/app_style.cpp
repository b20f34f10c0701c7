#include "app_style.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QStyleFactory>
#include <QTranslator>

// Q_INIT_RESOURCE must stand outside any namespace.
static void InitResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace sonfeld::app {

bool LoadQtTranslations(QApplication& application)
{
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void LoadResources()
{
    static const bool loaded = [] {
        InitResources();
        return true;
    }();
    (void)loaded;
}

void ApplyBlueTheme(QApplication& application)
{
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xdf, 0xe9, 0xf5));
    palette.setColor(QPalette::WindowText, QColor(0x15, 0x42, 0x8b));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xee, 0xf3, 0xfa));
    palette.setColor(QPalette::Button, QColor(0xd5, 0xe3, 0xf4));
    palette.setColor(QPalette::ButtonText, QColor(0x15, 0x42, 0x8b));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7b, 0xd3));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe6));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8a, 0x9b, 0xb5));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8a, 0x9b, 0xb5));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8a, 0x9b, 0xb5));
    application.setPalette(palette);
    application.setStyleSheet(QStringLiteral(
        "QToolBar#Toolbar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #e9f1fb, stop:1 #c4d8f0); border-bottom: 1px solid #8db2e3; }"
        "QStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #d7e5f7, stop:1 #b9d0ee); }"
        "QGroupBox { font-weight: bold; color: #15428b; }"
        "QHeaderView::section { background: #d5e3f4; color: #15428b; padding: 2px 4px; "
        "border: 0px; border-right: 1px solid #a5c0e5; border-bottom: 1px solid #a5c0e5; }"));
}

} // namespace sonfeld::app
