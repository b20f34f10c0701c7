// The owner of a disc's names against a local lookup server, with the
// settings store in a sandbox.

#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <QSignalSpy>

#include "app/rip/metadata/disc_names.h"
#include "app/rip/metadata/lookup_options.h"
#include "app/rip/metadata/request_spacing.h"
#include "app/rip/setting_keys.h"
#include "app/rip/settings_store.h"
#include "lookup_answers.h"
#include "lookup_test_support.h"
#include "rip/settings_sandbox.h"
#include "support/http/http_test_server.h"

namespace sonfeld::app::metadata::test {
namespace {

using F = TDiscNames::TAlbumField;

const QByteArray kPng("\x89PNG\r\n\x1a\n-not-really-more", 24);

class DiscNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteSetting(kMusicBrainzServerKey, server_.BaseUrl());
        WriteSetting(kGnudbServerKey, server_.BaseUrl());
        WriteSetting(kCoverArtServerKey, server_.BaseUrl());
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
    EXPECT_TRUE(status.last().first().toString().startsWith(QStringLiteral("查询失败")))
        << status.last().first().toString().toStdString();
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
