#pragma once

#include "disc_metadata.h"
#include "parse_budget.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The texts of the CDDB protocol as gnudb sends them over HTTP (protocol
// level 6, UTF-8): the answer to "cddb query" and the xmcd entry "cddb read"
// returns. Qt Core only, so the fuzz build can take it alone.
namespace sonfeld::app::metadata {

struct TCddbMatch {
    QString category;
    QString discId;
    QString title; // "Artist / Album"
};

struct TCddbQueryAnswer {
    int code = 0; // 200 one match, 210/211 several, 202 none, else a failure; 0 = unreadable
    QList<TCddbMatch> matches;
    bool overBudget = false; // reading it took longer than its budget: no matches
    bool Inexact() const { return code == 211; } // matched by track lengths only
};

TCddbQueryAnswer ParseCddbQueryAnswer(const QByteArray& answer,
                                      const TParseBudget& budget = TParseBudget());

struct TXmcdEntry {
    int code = 0;            // the status line's code, 210 for an entry
    bool valid = false;      // a 210 answer holding at least a DTITLE or a TTITLE
    bool overBudget = false; // reading it took longer than its budget: not valid
    TDiscMetadata metadata;
};

// The answer to "cddb read": status line, then the entry up to a "." line.
// The category ("data", "misc") is the server's filing, not a genre: an entry
// without DGENRE has no genre.
TXmcdEntry ParseCddbReadAnswer(const QByteArray& answer,
                               const TParseBudget& budget = TParseBudget());

// Just the entry's KEY=value lines (no status line), for files and tests.
// "Various" as the artist makes the album a compilation.
TDiscMetadata ParseXmcd(const QString& entry);

} // namespace sonfeld::app::metadata
