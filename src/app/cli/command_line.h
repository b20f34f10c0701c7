#pragma once

#include <QTextStream>

namespace sonfeld::app {

struct TCommandLine;

// The command-line mode: lists drives and discs, or rips without a window
// through the same rip queue, outputs, settings store and validation as the
// main window (one track at a time, the same file names, tags and encoder
// settings). Needs a QCoreApplication; runs its event loop while ripping.
//
// Exit codes: 0 when every requested track ended "完成转换" (or the list was
// printed); 1 when a track did not, an error stopped the work, or the log or
// CUE sheet could not be written; 2 for bad arguments; 130 when SIGINT,
// SIGTERM, SIGHUP or SIGXFSZ stopped the rip; 141 when standard output's
// reader went away.
inline constexpr int kInterruptedExit = 130;
// Standard output's reader went away (a broken pipe), as a shell reports it.
inline constexpr int kReaderGoneExit = 141;

int RunCommandLine(const TCommandLine& command, QTextStream& out, QTextStream& err);

} // namespace sonfeld::app
