#pragma once

#include <QNetworkAccessManager>
#include <QTextStream>

#include "app/metadata/disc_names.h"
#include "app/metadata/request_spacing.h"

// The disc's names in the command-line mode: the memory or CD-TEXT, the
// names given as options, and a lookup waited for before anything is printed
// or ripped. One thread, the event loop runs while waiting.
namespace sonfeld::app {

struct TCommandLine;

class TCommandLineNames {
public:
    TCommandLineNames();

    // The names of the disc in drive (which must be the selected one). Forgets
    // what was kept for the disc when the command says so; looks the disc up
    // when asked (else as "自动查询" says) and waits, bounded by the lookups'
    // time-outs. With userNames the command's names are then set over the
    // lookup's as the user's, for this run only. Raises EUsageError for a
    // release that was not found.
    void Prepare(int drive, const TCommandLine& command, bool userNames, QTextStream& out,
                 QTextStream& err);
    const metadata::TDiscNames& Names() const { return names_; }

private:
    void LookUp(const TCommandLine& command, QTextStream& out, QTextStream& err);
    void ApplyUserNames(const TCommandLine& command, int trackCount);
    void Wait();

    QNetworkAccessManager network_;
    metadata::TRequestSpacing spacing_;
    metadata::TDiscNames names_;
};

// The album's names and their source, each track's title and artist, and the
// releases when several match.
void PrintNames(const metadata::TDiscNames& names, QTextStream& out);

} // namespace sonfeld::app
