#include "desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>

namespace sonfeld::app {

namespace {

TDesktopNotifier& Notifier()
{
    static TDesktopNotifier notifier;
    return notifier;
}

constexpr int kShownMs = 10000;

void ShowInTray(QWidget* window, const QString& title, const QString& text)
{
    // A tray icon only for the message; it goes with it.
    auto* tray = new QSystemTrayIcon(window->windowIcon(), window);
    tray->show();
    tray->showMessage(title, text, QSystemTrayIcon::Information, kShownMs);
    QTimer::singleShot(kShownMs, tray, &QObject::deleteLater);
}

bool ShowThroughService(const QString& title, const QString& text)
{
    static const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Not asked whether the service runs: that question would wait for the
    // bus. Without the service the call's error answer is simply not read.
    if (!bus.isConnected())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                       service, QStringLiteral("Notify"));
    call << QStringLiteral("Sonfeld") << 0u << QStringLiteral("sonfeld") << title << text
         << QStringList() << QVariantMap() << kShownMs;
    // The answer is of no interest; asking must not hold the window up.
    return bus.send(call);
}

} // namespace

void SetDesktopNotifier(TDesktopNotifier notifier)
{
    Notifier() = std::move(notifier);
}

void ShowDesktopNotice(QWidget* window, const QString& title, const QString& text)
{
    if (Notifier()) {
        Notifier()(title, text);
        return;
    }
    if (window != nullptr && QSystemTrayIcon::isSystemTrayAvailable() &&
        QSystemTrayIcon::supportsMessages()) {
        ShowInTray(window, title, text);
        return;
    }
    ShowThroughService(title, text);
}

} // namespace sonfeld::app
