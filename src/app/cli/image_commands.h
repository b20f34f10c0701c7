#pragma once

#include <QTextStream>

namespace sonfeld::app {

struct TCommandLine;
struct TOutputFormat;
class TRipComponents;
class TTrackListModel;
namespace metadata {
class TDiscNames;
}

// --verify: reads every audio track of the image (or the disc in the drive)
// through the checksum tap and looks the disc up in AccurateRip, writing no
// file; prints each track's verdict and CRC32 as it comes. Returns 0 only when
// every audio track is proven accurate, 1 otherwise, the stop exits when a
// signal stopped it. Raises for an image that cannot be opened. UI thread.
int RunVerify(const TCommandLine& command, TRipComponents& components, QTextStream& out,
              QTextStream& err);

// --rip as one image file ("整轨", --single-file or the stored output mode):
// the disc in drive (its rows and names listed) into folder as one FLAC, APE
// or WAV file named after the album, with its CUE sheet and log. Prints the
// progress and each track's verdict; returns 0 when the image was written
// (and, with --require-accurate, every track proven accurate), 1 otherwise,
// the stop exits when a signal stopped it. UI thread.
int RunSingleFileRip(const TCommandLine& command, TRipComponents& components, int drive,
                     const QString& folder, const TOutputFormat& format,
                     const TTrackListModel& rows, const metadata::TDiscNames& names,
                     QTextStream& out, QTextStream& err);

} // namespace sonfeld::app
