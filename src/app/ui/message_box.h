#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <functional>
#include <utility>
#include <vector>

class QWidget;

// The program's modal boxes, the folder dialog and the shell "Open", each
// behind a replaceable display so the tests can answer them instead of
// blocking. With no replacement set, the real Qt dialog is shown. UI thread.
namespace sonfeld::app {

struct TMessageRequest {
    QWidget* Parent = nullptr;
    QMessageBox::Icon Icon = QMessageBox::Information;
    QString Caption;
    QString Text;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
    // Texts of our own for some of the buttons ("打开文件夹" on Open), as shown.
    std::vector<std::pair<QMessageBox::StandardButton, QString>> ButtonTexts = {};
};

using TMessageDisplay = std::function<QMessageBox::StandardButton(const TMessageRequest&)>;
// Replaces the message display (an empty function restores the real one).
void SetMessageDisplay(TMessageDisplay display);
// Shows a modal box; returns the button pressed.
QMessageBox::StandardButton ShowMessageBox(const TMessageRequest& request);
// An information box with one OK button.
void ShowInformation(QWidget* parent, const QString& text, const QString& caption);
// The application's default error display: a modal box with the message.
void ShowErrorBox(QWidget* parent, const QString& message);

// Runs operation and shows any exception it raises with ShowErrorBox; every
// UI operation goes through here so nothing escapes into the event loop.
// Returns whether operation completed.
bool Guarded(QWidget* parent, const std::function<void()>& operation);

// The platform's directory chooser; an empty text when cancelled.
using TFolderDialog = std::function<QString(QWidget* parent, const QString& start)>;
void SetFolderDialog(TFolderDialog dialog);
QString ChooseFolder(QWidget* parent, const QString& start);

// The shell's "Open" of a document or address; the result is not checked by
// the callers (a missing page or browser shows nothing).
using TUrlOpener = std::function<bool(const QUrl& url)>;
void SetUrlOpener(TUrlOpener opener);
bool OpenUrl(const QUrl& url);

} // namespace sonfeld::app
