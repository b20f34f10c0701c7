#pragma once

#include "parse_budget.h"
#include "release_candidate.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Turns a MusicBrainz web service answer to a disc ID lookup (JSON, with
// recordings, artist credits, labels, release groups and ISRCs) into release
// candidates. Qt Core only, so the fuzz build can take it alone.
namespace sonfeld::app::metadata {

struct TMusicBrainzMapping {
    bool valid = false;      // false: not JSON, or not the shape of a disc ID answer
    bool overBudget = false; // reading it took longer than its budget: not valid
    QString problem;         // why it is not valid, for the log
    QList<TReleaseCandidate> candidates;
};

// discId picks the medium that was inserted; when no medium lists it (a
// match found by TOC), the first medium with trackCount tracks is taken, else
// the only or first CD.
TMusicBrainzMapping MapDiscIdAnswer(const QByteArray& json, const QString& discId, int trackCount,
                                    const TParseBudget& budget = TParseBudget());

} // namespace sonfeld::app::metadata
