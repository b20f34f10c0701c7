#pragma once

#include "disc_metadata.h"

#include <QString>
#include <optional>

class QSettings;

// What the user last saw and typed for a disc, and which of several releases
// they chose, kept by disc ID in a settings store the caller owns (the
// application's own, or a file of a test). UI thread.
namespace sonfeld::app::metadata {

// Every disc is a group under this one.
inline const QString kDiscsGroup = QStringLiteral("Discs");
inline const QString kChosenReleaseKey = QStringLiteral("ChosenRelease");
inline const QString kSourceKey = QStringLiteral("Source");
inline const QString kEditedKey = QStringLiteral("Edited"); // names of the user's fields
inline const QString kTrackCountKey = QStringLiteral("TrackCount");
inline const QString kAlbumGroup = QStringLiteral("Album");
inline const QString kTrackGroupPrefix = QStringLiteral("Track"); // Track1, Track2, ...

class TDiscMemory {
public:
    explicit TDiscMemory(QSettings& settings);

    // Replaces what was kept for the disc: its album and its first
    // discTracks tracks (a disc has at most 99), whatever else the names
    // list. An empty disc ID keeps nothing.
    void Save(const QString& discId, const TDiscMetadata& metadata, int discTracks = 99);
    std::optional<TDiscMetadata> Load(const QString& discId) const;

    // The MusicBrainz release ID the user chose among several.
    void SaveChosenRelease(const QString& discId, const QString& releaseId);
    QString ChosenRelease(const QString& discId) const;

    void Forget(const QString& discId);

private:
    QSettings& settings_;
};

} // namespace sonfeld::app::metadata
