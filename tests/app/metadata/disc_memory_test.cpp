#include "app/metadata/disc_memory.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace sonfeld::app::metadata {
namespace {

TDiscMetadata Edited()
{
    TDiscMetadata metadata;
    metadata.album.source = TMetadataSource::MusicBrainz;
    metadata.album.album.SetByUser(QStringLiteral("海港之光"));
    metadata.album.albumArtist.value = QStringLiteral("Zoë & 潮汐");
    metadata.album.releaseId.value = QStringLiteral("10000000-0000-4000-8000-00000000000a");
    for (const QString& title : {QStringLiteral("低潮"), QStringLiteral("港の灯り")}) {
        TTrackMetadata track;
        track.number = static_cast<int>(metadata.tracks.size() + 1);
        track.title.value = title;
        metadata.tracks.append(track);
    }
    metadata.tracks[1].artist.SetByUser(QStringLiteral("Café 乐队"));
    return metadata;
}

TEST(DiscMemoryTest, EditsAndTheChosenReleaseSurviveAReload)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("discs.ini"));
    const QString disc = QStringLiteral("FiuY5Av_gk_xDo5F4mUh8h3j9Aw-");
    {
        QSettings settings(file, QSettings::IniFormat);
        TDiscMemory memory(settings);
        memory.SaveChosenRelease(disc, QStringLiteral("release-b"));
        memory.Save(disc, Edited());
    }
    QSettings settings(file, QSettings::IniFormat);
    TDiscMemory memory(settings);
    const std::optional<TDiscMetadata> loaded = memory.Load(disc);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->album.source, TMetadataSource::MusicBrainz);
    EXPECT_EQ(loaded->album.album.value, QStringLiteral("海港之光"));
    EXPECT_TRUE(loaded->album.album.userEdited);
    EXPECT_EQ(loaded->album.albumArtist.value, QStringLiteral("Zoë & 潮汐"));
    EXPECT_FALSE(loaded->album.albumArtist.userEdited);
    EXPECT_EQ(loaded->album.releaseId.value,
              QStringLiteral("10000000-0000-4000-8000-00000000000a"));
    ASSERT_EQ(loaded->tracks.size(), 2);
    EXPECT_EQ(loaded->tracks[1].title.value, QStringLiteral("港の灯り"));
    EXPECT_EQ(loaded->tracks[1].artist.value, QStringLiteral("Café 乐队"));
    EXPECT_TRUE(loaded->tracks[1].artist.userEdited);
    EXPECT_FALSE(loaded->tracks[0].title.userEdited);
    // Saving the names again keeps the choice made before.
    EXPECT_EQ(memory.ChosenRelease(disc), QStringLiteral("release-b"));

    EXPECT_FALSE(memory.Load(QStringLiteral("unknownDisc")).has_value());
    memory.Forget(disc);
    EXPECT_FALSE(memory.Load(disc).has_value());
    EXPECT_TRUE(memory.ChosenRelease(disc).isEmpty());
}

// An answer listing far more tracks than the disc has keeps only the disc's.
TEST(DiscMemoryTest, OnlyTheDiscsOwnTracksAreKept)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("discs.ini"));
    TDiscMetadata metadata = Edited();
    for (int i = 0; i < 500; ++i)
        metadata.tracks.append(metadata.tracks.first());
    QSettings settings(file, QSettings::IniFormat);
    TDiscMemory memory(settings);
    memory.Save(QStringLiteral("a"), metadata, 2);
    memory.Save(QStringLiteral("b"), metadata);
    EXPECT_EQ(memory.Load(QStringLiteral("a"))->tracks.size(), 2);
    EXPECT_EQ(memory.Load(QStringLiteral("b"))->tracks.size(), 99);
    settings.sync();
    EXPECT_FALSE(settings.childGroups().isEmpty());
    settings.beginGroup(kDiscsGroup + QStringLiteral("/a"));
    EXPECT_EQ(settings.childGroups().size(), 3); // Album, Track1, Track2
    settings.endGroup();
    settings.beginGroup(kDiscsGroup + QStringLiteral("/b"));
    EXPECT_EQ(settings.childGroups().size(), 100);
}

TEST(DiscMemoryTest, AnOddDiscIdStaysInItsOwnGroup)
{
    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("discs.ini")), QSettings::IniFormat);
    TDiscMemory memory(settings);
    memory.Save(QStringLiteral("a/../b"), Edited());
    memory.Save(QStringLiteral("b"), TDiscMetadata{});
    EXPECT_EQ(memory.Load(QStringLiteral("a/../b"))->tracks.size(), 2);
    EXPECT_TRUE(memory.Load(QStringLiteral("b"))->tracks.isEmpty());
    EXPECT_EQ(settings.childGroups(), QStringList{kDiscsGroup});
    memory.Save(QString(), Edited());
    EXPECT_FALSE(memory.Load(QString()).has_value());
}

} // namespace
} // namespace sonfeld::app::metadata
