#include "program_start.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <cstdio>

#include "app/cli/command_line.h"
#include "app/cli/command_line_options.h"
#include "app/files/local_path.h"
#include "app/text/texts.h"
#include "app/ui/about_box.h"
#include "app/ui/app_style.h"
#include "app/ui/interface_translation.h"
#include "app/ui/main_form.h"
#include "app/ui/message_box.h"
#include "app/ui/option_dialog.h"
#include "audio/cd/cd_audio_device.h"
#include "audio/cd/cd_in.h"

namespace sonfeld::app {

TProgramWindows CreateProgramWindows(std::unique_ptr<TCDAudioDevice> playerDevice)
{
    TProgramWindows windows;
    windows.MainForm = std::make_unique<TMainForm>(std::move(playerDevice));
    windows.Options = new TfrmOP(windows.MainForm.get());
    windows.About = new TFormAbout(windows.MainForm.get());
    windows.MainForm->SetDialogs(windows.Options, windows.About);
    return windows;
}

int RunProgram(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << PathFromLocal(argv[i]);
    TCommandLine command;
    try {
        command = ParseCommandLine(arguments);
    } catch (const EUsageError& e) {
        QTextStream err(stderr);
        // The reason alone: the whole help would bury it.
        err << QString::fromUtf8(e.what()) << "\n" << kSeeHelp << "\n";
        return 2;
    }

    if (command.Mode != TCommandLine::TMode::Window) {
        QCoreApplication application(argc, argv);
        application.setApplicationName(text::kProgramName);
        application.setApplicationVersion(text::kVersion);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunCommandLine(command, out, err);
    }

    QApplication application(argc, argv);
    application.setApplicationName(text::kProgramName);
    application.setApplicationVersion(text::kVersion);
    ApplyBlueTheme(application);
    InstallInterfaceLanguage(application);
    for (const QString& image : command.Images) {
        // An image that cannot be opened is reported; the others still come.
        Guarded(nullptr, [&] {
            TCDIn::AddImageDrive(LocalPath(QDir().absoluteFilePath(image)).toStdString());
        });
    }
    TProgramWindows windows;
    if (!Guarded(nullptr, [&] { windows = CreateProgramWindows(); }))
        return 1;
    windows.MainForm->show();
    return application.exec();
}

} // namespace sonfeld::app
