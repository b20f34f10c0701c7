#include "message_box.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <exception>

#include "app/text/shown_text.h"
#include "app/text/texts.h"

namespace sonfeld::app {

namespace {

TMessageDisplay& MessageDisplay()
{
    static TMessageDisplay display;
    return display;
}

TFolderDialog& FolderDialog()
{
    static TFolderDialog dialog;
    return dialog;
}

TUrlOpener& UrlOpener()
{
    static TUrlOpener opener;
    return opener;
}

} // namespace

void SetMessageDisplay(TMessageDisplay display)
{
    MessageDisplay() = std::move(display);
}

QMessageBox::StandardButton ShowMessageBox(const TMessageRequest& request)
{
    // A whole text of the program's arrives as it is defined: shown in the
    // window's language here. A message with arguments comes shown already.
    TMessageRequest shown = request;
    shown.Caption = Shown(request.Caption);
    shown.Text = Shown(request.Text);
    if (MessageDisplay())
        return MessageDisplay()(shown);
    QMessageBox box(shown.Icon, shown.Caption, shown.Text, shown.Buttons, shown.Parent);
    for (const auto& [button, text] : shown.ButtonTexts)
        if (QAbstractButton* made = box.button(button))
            made->setText(text);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowInformation(QWidget* parent, const QString& text, const QString& caption)
{
    ShowMessageBox({parent, QMessageBox::Information, caption, text, QMessageBox::Ok});
}

void ShowErrorBox(QWidget* parent, const QString& message)
{
    ShowMessageBox({parent, QMessageBox::Critical, text::kProgramName, message, QMessageBox::Ok});
}

bool Guarded(QWidget* parent, const std::function<void()>& operation)
{
    try {
        operation();
        return true;
    } catch (const std::exception& e) {
        ShowErrorBox(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(parent, QStringLiteral("An unknown error occurred."));
    }
    return false;
}

void SetFolderDialog(TFolderDialog dialog)
{
    FolderDialog() = std::move(dialog);
}

QString ChooseFolder(QWidget* parent, const QString& start)
{
    if (FolderDialog())
        return FolderDialog()(parent, start);
    return QFileDialog::getExistingDirectory(parent, QString(), start);
}

void SetUrlOpener(TUrlOpener opener)
{
    UrlOpener() = std::move(opener);
}

bool OpenUrl(const QUrl& url)
{
    if (UrlOpener())
        return UrlOpener()(url);
    return QDesktopServices::openUrl(url);
}

} // namespace sonfeld::app
