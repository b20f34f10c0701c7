#pragma once

#include <QList>
#include <QString>

namespace sonfeld::app::metadata {

// How the services know a disc, as the disc ID code computes it.
struct TDiscKey {
    QString musicBrainzDiscId; // 28 characters, e.g. "FiuY5Av_gk_xDo5F4mUh8h3j9Aw-"
    // "first last leadout offset1 ... offsetN", absolute sectors, spaces
    // between; empty when the disc cannot be looked up by durations.
    QString musicBrainzToc;
    QString freedbId; // 8 lowercase hex digits
    // Absolute offsets of all tracks (data tracks included) and the absolute
    // lead-out, as the freedb ID counts them.
    QList<int> freedbOffsets;
    int freedbLeadout = 0;
    // Audio tracks on the disc, for picking the medium of a release.
    int trackCount = 0;

    // The key for remembering the disc: the MusicBrainz ID, else the freedb ID.
    QString StorageId() const { return musicBrainzDiscId.isEmpty() ? freedbId : musicBrainzDiscId; }
};

} // namespace sonfeld::app::metadata
