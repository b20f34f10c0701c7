#pragma once

#include <QString>
#include <functional>

class QWidget;

// A desktop notification: the system tray's message when a tray is there,
// else the freedesktop notification service on the session bus when it
// runs, else nothing. Never an error, never waits. UI thread.
namespace sonfeld::app {

using TDesktopNotifier = std::function<void(const QString& title, const QString& text)>;
// Replaces the notifier (an empty function restores the real one).
void SetDesktopNotifier(TDesktopNotifier notifier);
void ShowDesktopNotice(QWidget* window, const QString& title, const QString& text);

} // namespace sonfeld::app
