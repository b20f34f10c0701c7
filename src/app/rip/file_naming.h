#pragma once

#include <QString>

// How the rip queue names its files: folder + separator + row name +
// extension, with the platform's separator ("\" on Windows, "/" elsewhere).
namespace sonfeld::app {

QChar PathSeparator();

// folder unchanged when it ends with the separator, else folder + separator.
QString AddTrailingSeparator(const QString& folder);

// The file a track is written to. The separator is added whatever the folder
// ends with, as the window has always done; a doubled separator names the
// same file.
QString TargetFileName(const QString& folder, const QString& name, const QString& extension);

// name with the characters a file name should not hold (control characters
// such as tab, newline and ESC) replaced by "_".
QString SafeFileName(const QString& name);

// Why name cannot be a file's base name on this platform (empty, a path
// separator, a NUL, and on Windows the reserved characters), or an empty
// text when it can.
QString FileNameProblem(const QString& name);

// A track's title made fit to be a row's name (a file's base name); empty
// when nothing of it is left.
QString NameFromTitle(const QString& title);

// Whether a file exists at path, comparing the file's name without regard to
// case (Track1.MP3 finds Track1.mp3), as the Windows file system does.
bool FileExistsIgnoringCase(const QString& path);

} // namespace sonfeld::app
