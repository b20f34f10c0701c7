#include "app_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QThread>
#include <QTranslator>
#include <algorithm>

#include "app/text/texts.h"
#include "app/ui/app_style.h"
#include "app/ui/interface_translation.h"
#include "support/core_application.h"

namespace sonfeld::test {

QApplication& App()
{
    static QApplication* application = [] {
        // A test may give the offscreen screen's size (":configfile=...").
        if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "sonfeld-test";
        static char* argv[] = {name, nullptr};
        auto* created = new QApplication(argc, argv);
        app::ApplyBlueTheme(*created);
        // The layout checks run in English too, whose texts are longer.
        if (qgetenv("SONFELD_TEST_LANGUAGE") == "en") {
            static std::unique_ptr<QTranslator> english =
                app::InterfaceTranslator(app::TInterfaceLanguage::English);
            QCoreApplication::installTranslator(english.get());
        }
        return created;
    }();
    return *application;
}

MessageRecorder::MessageRecorder()
{
    app::SetMessageDisplay([this](const app::TMessageRequest& request) {
        Messages.push_back(request);
        if (request.Buttons & QMessageBox::Yes)
            return QuestionAnswer;
        return QMessageBox::Ok;
    });
}

MessageRecorder::~MessageRecorder()
{
    app::SetMessageDisplay({});
}

std::vector<QString> MessageRecorder::Texts() const
{
    std::vector<QString> texts;
    for (const auto& message : Messages)
        texts.push_back(message.Text);
    return texts;
}

int MessageRecorder::Count(const QString& text) const
{
    int count = 0;
    for (const auto& message : Messages)
        count += message.Text == text ? 1 : 0;
    return count;
}

FolderDialogRecorder::FolderDialogRecorder(QString answer) : Answer(std::move(answer))
{
    app::SetFolderDialog([this](QWidget*, const QString&) {
        ++Calls;
        return Answer;
    });
}

FolderDialogRecorder::~FolderDialogRecorder()
{
    app::SetFolderDialog({});
}

UrlRecorder::UrlRecorder()
{
    app::SetUrlOpener([this](const QUrl& url) {
        Urls.push_back(url);
        return false;
    });
}

UrlRecorder::~UrlRecorder()
{
    app::SetUrlOpener({});
}

void WindowTest::SetUp()
{
    App();
    MakeAudioDisc(disc_, DiscSectors());
    discDrive_ = LoadRealLibraryWithImages({disc_.cue});
    outDir_ = out_.Path();
}

void WindowTest::TearDown()
{
    windows_ = {};
}

void WindowTest::OpenWindows()
{
    std::unique_ptr<TCDAudioDevice> device;
    if (!realPlayer_)
        device = std::make_unique<FakePlayerDevice>(player_);
    windows_ = app::CreateProgramWindows(std::move(device));
    windows_.MainForm->show();
    QCoreApplication::processEvents();
}

void WindowTest::SelectDiscDrive()
{
    Form().cbDrive->setCurrentIndex(discDrive_);
    emit Form().cbDrive->activated(discDrive_);
}

void WindowTest::ChooseFormat(const QString& format)
{
    Form().cbTrack->setCurrentText(format);
}

void WindowTest::PressRip()
{
    Form().btnRipCD->trigger();
}

void WindowTest::PressStop()
{
    Form().btnStopRip->trigger();
}

bool WindowTest::WaitForAllDone(int timeoutMs)
{
    return WaitUntil([this] { return messages_.Count(app::text::kAllDone) > 0; }, timeoutMs);
}

bool WindowTest::WaitForRipEnd(int timeoutMs)
{
    return WaitUntil(
        [this] {
            return std::any_of(messages_.Messages.begin(), messages_.Messages.end(),
                               [](const app::TMessageRequest& message) {
                                   return message.Text == app::text::kAllDone ||
                                          message.Caption == app::text::kRipEndedCaption;
                               });
        },
        timeoutMs);
}

} // namespace sonfeld::test
