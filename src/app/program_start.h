#pragma once

#include <memory>

#include "audio/cd/cd_audio_device.h"

namespace sonfeld::app {

class TMainForm;
class TfrmOP;
class TFormAbout;

// The program's windows, created at start-up in this order: the main window
// (which loads the libraries and may raise EACSException), the options
// dialog (which reads its settings once) and the about box. The dialogs are
// children of the main window and live as long as it does.
struct TProgramWindows {
    std::unique_ptr<TMainForm> MainForm;
    TfrmOP* Options = nullptr;
    TFormAbout* About = nullptr;
};
TProgramWindows CreateProgramWindows(std::unique_ptr<TCDAudioDevice> playerDevice = {});

// The program: the window, or the command-line mode for --list, --rip and
// --help. Returns the process's exit code.
int RunProgram(int argc, char** argv);

} // namespace sonfeld::app
