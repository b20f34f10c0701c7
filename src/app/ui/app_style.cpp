#include "app_style.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QSlider>
#include <QStyleFactory>
#include <QTranslator>

// Q_INIT_RESOURCE must stand outside any namespace.
static void InitResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace sonfeld::app {

namespace {

// The boxes whose value a stray wheel would change; a scroll bar is the
// page's own and always scrolls.
bool IsValueBox(const QObject* object)
{
    return qobject_cast<const QAbstractSpinBox*>(object) != nullptr ||
           qobject_cast<const QComboBox*>(object) != nullptr ||
           qobject_cast<const QSlider*>(object) != nullptr;
}

class TWheelGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && IsValueBox(watched)) {
            // The default, wheel focus, would let the wheel take the focus
            // and with it the value.
            auto* box = static_cast<QWidget*>(watched);
            if (box->focusPolicy() == Qt::WheelFocus)
                box->setFocusPolicy(Qt::StrongFocus);
        } else if (event->type() == QEvent::Wheel && IsValueBox(watched) &&
                   !static_cast<QWidget*>(watched)->hasFocus()) {
            // Ignored and kept from the box: the application hands it on to
            // the parents, the scrolling page among them.
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void GuardValueBoxesFromWheel(QApplication& application)
{
    const QString name = QStringLiteral("valueBoxWheelGuard");
    if (application.findChild<QObject*>(name, Qt::FindDirectChildrenOnly) != nullptr)
        return;
    auto* guard = new TWheelGuard(&application);
    guard->setObjectName(name);
    application.installEventFilter(guard);
}

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
    GuardValueBoxesFromWheel(application);
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
