// The owner of a disc's names against a local lookup server, with the
// settings store in a sandbox.

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QSignalSpy>

#include "app/metadata/disc_names.h"
#include "app/metadata/gnudb_lookup.h"
#include "app/metadata/lookup_options.h"
#include "app/metadata/request_spacing.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "lookup_answers.h"
#include "lookup_test_support.h"
#include "settings_sandbox.h"
#include "support/http/http_test_server.h"

namespace sonfeld::app::metadata::test {
namespace {

using F = TDiscNames::TAlbumField;

const QByteArray kPng("\x89PNG\r\n\x1a\n-not-really-more", 24);

class DiscNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Write(key::kMusicBrainzServer, server_.BaseUrl());
        Write(key::kGnudbServer, server_.BaseUrl());
        Write(key::kCoverArtServer, server_.BaseUrl());
    }

    void Serve(const QByteArray& json)
    {
        server_.Serve(("/ws/2/discid/" + kDiscId).toUtf8(),
                      sonfeld::test::HttpReply{200, json, "application/json", {}, 0, false});
    }

    // A fresh owner, as a re-opened window would have.
    std::unique_ptr<TDiscNames> Open()
    {
        auto names = std::make_unique<TDiscNames>(network_, spacing_);
        TCdText cdText;
        cdText.title = QStringLiteral("Harbour");
        cdText.trackTitles = {QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("")};
        names->SetDisc(Disc(), cdText);
        return names;
    }

    static bool LookUp(TDiscNames& names)
    {
        names.Lookup();
        return WaitFor([&names] { return !names.Busy(); });
    }

    QCoreApplication& application_ = Application();
    sonfeld::test::SettingsSandbox sandbox_;
    sonfeld::test::HttpTestServer server_;
    QNetworkAccessManager network_;
    TRequestSpacing spacing_{0};
};

TEST_F(DiscNamesTest, EditsSurviveALookupAndAreKeptForTheDisc)
{
    Serve(OneReleaseJson());
    server_.Serve(("/release/" + kReleaseA + "/front-500").toUtf8(),
                  sonfeld::test::HttpReply{200, kPng, "image/png", {}, 0, false});
    auto names = Open();
    EXPECT_EQ(names->Source(), TMetadataSource::CdText);
    EXPECT_EQ(names->Metadata().tracks[1].title.value, "Two");

    names->SetTrackTitle(1, QStringLiteral("我的标题"));
    QSignalSpy changed(names.get(), &TDiscNames::Changed);
    names->Lookup();
    // Typed while the lookup runs.
    names->SetAlbumField(F::Genre, QStringLiteral("Folk"));
    ASSERT_TRUE(WaitFor([&names] { return !names->Busy(); }));
    EXPECT_EQ(names->LastLookupStatus(), TLookupStatus::Found);
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(names->Source(), TMetadataSource::MusicBrainz);
    EXPECT_EQ(names->Metadata().tracks[0].title.value, "我的标题");
    EXPECT_EQ(names->Metadata().tracks[1].title.value, "港の灯り");
    EXPECT_EQ(names->Metadata().album.genre.value, "Folk");
    EXPECT_EQ(names->Metadata().album.album.value, "海港之光");
    ASSERT_TRUE(names->HasCover());
    EXPECT_EQ(names->Cover().data, kPng);

    // Opened again without a lookup: the last names, the user's marks with them.
    const auto again = Open();
    EXPECT_EQ(again->Metadata().tracks[0].title.value, "我的标题");
    EXPECT_TRUE(again->Metadata().tracks[0].title.userEdited);
    EXPECT_EQ(again->Metadata().album.album.value, "海港之光");
}

TEST_F(DiscNamesTest, TheChosenReleaseIsAppliedAgainByTheNextLookup)
{
    Serve(TwoReleasesJson());
    Write(key::kEmbedCover, false);
    auto names = Open();
    QSignalSpy found(names.get(), &TDiscNames::CandidatesFound);
    ASSERT_TRUE(LookUp(*names));
    EXPECT_EQ(found.count(), 1);
    ASSERT_EQ(names->Candidates().size(), 2);
    EXPECT_EQ(names->ChosenIndex(), 0);
    names->ChooseRelease(1);
    EXPECT_EQ(names->Metadata().album.album.value, "海港之光 (再发行)");
    EXPECT_EQ(names->Metadata().album.releaseId.value, kReleaseB);

    const auto again = Open();
    ASSERT_TRUE(LookUp(*again));
    EXPECT_EQ(again->ChosenIndex(), 1);
    EXPECT_EQ(again->Metadata().album.releaseId.value, kReleaseB);
    // With "嵌入封面" off no cover is asked for.
    for (const QString& target : server_.RequestedTargets())
        EXPECT_FALSE(target.startsWith(QStringLiteral("/release/"))) << target.toStdString();
}

TEST_F(DiscNamesTest, MusicBrainzAfterGnudbLeavesNothingOfGnudbsNames)
{
    Write(key::kEmbedCover, false);
    const TLookupOptions options = StoredLookupOptions();
    const auto gnudb = [&options](const QString& command) {
        return GnudbTarget(options, command).toUtf8();
    };
    server_.Serve(("/ws/2/discid/" + kDiscId).toUtf8(),
                  sonfeld::test::HttpReply{
                      404, R"({"error":"Not Found"})", "application/json", {}, 0, false});
    server_.Serve(gnudb(GnudbQueryCommand(Disc())),
                  sonfeld::test::HttpReply{200, GnudbQueryFound(), "text/plain", {}, 0, false});
    server_.Serve(gnudb(QStringLiteral("cddb read misc 0c000603")),
                  sonfeld::test::HttpReply{200, GnudbEntry(), "text/plain", {}, 0, false});
    auto names = Open();
    ASSERT_TRUE(LookUp(*names));
    ASSERT_EQ(names->Source(), TMetadataSource::Gnudb);
    EXPECT_EQ(names->Metadata().album.date.value, "2001");
    EXPECT_EQ(names->Metadata().album.genre.value, "Ambient");
    EXPECT_FALSE(names->Metadata().album.comment.value.isEmpty());

    // The release has a date but no genre and no comment.
    Serve(FullAndBareReleasesJson());
    names->SetAlbumField(F::AlbumArtist, QStringLiteral("Ada"));
    ASSERT_TRUE(LookUp(*names));
    ASSERT_EQ(names->Source(), TMetadataSource::MusicBrainz);
    const TAlbumMetadata& album = names->Metadata().album;
    EXPECT_EQ(album.date.value, "2001-02-03");
    EXPECT_TRUE(album.genre.value.isEmpty()) << album.genre.value.toStdString();
    EXPECT_TRUE(album.comment.value.isEmpty()) << album.comment.value.toStdString();
    EXPECT_EQ(album.albumArtist.value, "Ada");

    // The second release has no date, label, catalogue number or barcode.
    names->ChooseRelease(1);
    EXPECT_TRUE(album.date.value.isEmpty());
    EXPECT_TRUE(album.label.value.isEmpty());
    EXPECT_TRUE(album.catalogNumber.value.isEmpty());
    EXPECT_TRUE(album.barcode.value.isEmpty());
    EXPECT_TRUE(album.country.value.isEmpty());
    EXPECT_EQ(album.albumArtist.value, "Ada");
    EXPECT_EQ(names->Metadata().tracks[0].title.value, "低潮 b1");
    // Kept so, for the disc.
    EXPECT_TRUE(Open()->Metadata().album.barcode.value.isEmpty());
}

TEST_F(DiscNamesTest, ForgettingTheDiscDropsItsNamesEditsAndRelease)
{
    Write(key::kEmbedCover, false);
    Serve(TwoReleasesJson());
    auto names = Open();
    ASSERT_TRUE(LookUp(*names));
    names->ChooseRelease(1);
    names->SetTrackTitle(2, QStringLiteral("我的标题"));
    ASSERT_TRUE(Open()->ReleaseRemembered());

    names->Forget();
    EXPECT_EQ(names->Source(), TMetadataSource::CdText);
    EXPECT_EQ(names->Metadata().tracks[1].title.value, "Two");
    EXPECT_FALSE(names->Metadata().HasUserEdits());
    EXPECT_FALSE(names->ReleaseRemembered());
    EXPECT_TRUE(names->Candidates().isEmpty());
    auto again = Open();
    EXPECT_EQ(again->Metadata().tracks[1].title.value, "Two");
    ASSERT_TRUE(LookUp(*again));
    EXPECT_EQ(again->ChosenIndex(), 0);

    // Names for this run only are shown, but not kept for the disc.
    again->ForThisRunOnly();
    again->SetAlbumField(F::Album, QStringLiteral("只此一次"));
    again->ChooseRelease(1);
    EXPECT_EQ(again->Metadata().album.album.value, "只此一次");
    const auto third = Open();
    EXPECT_EQ(third->Metadata().album.album.value, "海港之光");
    EXPECT_FALSE(third->Metadata().HasUserEdits());
    EXPECT_FALSE(third->ReleaseRemembered());
}

TEST_F(DiscNamesTest, AFailedLookupLeavesTheNamesAndSaysSo)
{
    server_.Serve(("/ws/2/discid/" + kDiscId).toUtf8(),
                  sonfeld::test::HttpReply{500, "oops", "text/plain", {}, 0, false});
    auto names = Open();
    names->SetAlbumField(F::AlbumArtist, QStringLiteral("Ada"));
    QSignalSpy status(names.get(), &TDiscNames::Status);
    ASSERT_TRUE(LookUp(*names));
    EXPECT_EQ(names->LastLookupStatus(), TLookupStatus::Failed);
    ASSERT_FALSE(status.isEmpty());
    const QString failure = status.last().first().value<TMessage>().Chinese();
    EXPECT_TRUE(failure.startsWith(QStringLiteral("查询失败"))) << failure.toStdString();
    EXPECT_EQ(names->Metadata().album.albumArtist.value, "Ada");
    EXPECT_EQ(names->Metadata().tracks[0].title.value, "One");
    EXPECT_FALSE(names->HasCover());

    names->Clear();
    EXPECT_FALSE(names->HasDisc());
    EXPECT_TRUE(names->Metadata().IsEmpty());
    names->Lookup(); // no disc: nothing to ask
    EXPECT_FALSE(names->Busy());
}

} // namespace
} // namespace sonfeld::app::metadata::test
