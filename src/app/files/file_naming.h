#pragma once

#include <QSet>
#include <QString>

#include "app/text/message.h"

// How the rip queue names its files: folder + separator + row name +
// extension, with the platform's separator ("\" on Windows, "/" elsewhere).
// Every name is made portable (metadata::PortableName) and at most 255 bytes
// long, the same way for the tracks, the log and the CUE sheet.
namespace sonfeld::app {

QChar PathSeparator();

// folder unchanged when it ends with the separator, else folder + separator.
QString AddTrailingSeparator(const QString& folder);

// The file a track is written to: name made portable and short enough. The
// separator is added whatever the folder ends with, as the window has always
// done; a doubled separator names the same file.
QString TargetFileName(const QString& folder, const QString& name, const QString& extension);

// name made fit to be a file's base name: what a FAT or NTFS file system
// refuses becomes "_", control characters go, no blanks or dots at the end.
QString SafeFileName(const QString& name);

// Why name cannot be a file's base name (nothing is left of it once made
// safe), or an empty message when it can.
TMessage FileNameProblem(const QString& name);

// A track's title made fit to be a row's name (a file's base name); empty
// when nothing of it is left.
QString NameFromTitle(const QString& title);

// name, or when a name that differs at most in case is among used already,
// name + " (number)", or the first free " (N)" when that is taken too. The
// result goes into used, which holds NameKey()s.
QString UniqueName(const QString& name, int number, QSet<QString>& used);
QString NameKey(const QString& name);

// The free "<album>.log" or "<album>.cue" in folder ("rip" without an album
// text), named like a track file; a name taken already, in any case, gets
// " (2)", " (3)"…
QString RecordFileName(const QString& folder, const QString& album, const QString& extension);

// Whether a file exists at path, comparing the file's name without regard to
// case (Track1.MP3 finds Track1.mp3), as the Windows file system does.
bool FileExistsIgnoringCase(const QString& path);

} // namespace sonfeld::app
