#include "app/metadata/cover_art.h"
#include "app/metadata/http_get.h"
#include "lookup_test_support.h"
#include "support/http/http_test_server.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>

#include <optional>

namespace sonfeld::app::metadata {
namespace {

using sonfeld::test::HttpReply;

const QString kRelease = QStringLiteral("10000000-0000-4000-8000-00000000000a");

class CoverArtTest : public ::testing::Test {
protected:
    CoverArtTest()
    {
        options_.coverArtServer = server_.BaseUrl();
        options_.timeoutMs = 3000;
    }

    TCoverArt Fetch(const QString& release)
    {
        std::optional<TCoverArt> cover;
        QObject context;
        FetchFrontCover(network_, options_, release, &context,
                        [&cover](const TCoverArt& fetched) { cover = fetched; });
        EXPECT_TRUE(test::WaitFor([&cover] { return cover.has_value(); }));
        return cover.value_or(TCoverArt{});
    }

    QCoreApplication& application_ = test::Application(); // before the server
    sonfeld::test::HttpTestServer server_;
    QNetworkAccessManager network_;
    TLookupOptions options_;
};

TEST_F(CoverArtTest, FollowsTheRedirectToTheImage)
{
    const QByteArray jpeg = QByteArray::fromHex("ffd8ffe000104a464946") + QByteArray(600, 'j');
    server_.Serve(
        "/release/" + kRelease.toLatin1() + "/front-500",
        HttpReply{307, "", "text/plain", {{"Location", "/images/front-500.jpg"}}, 0, false});
    server_.Serve("/images/front-500.jpg", HttpReply{200, jpeg, "image/jpeg", {}, 0, false});
    const TCoverArt cover = Fetch(kRelease);
    EXPECT_EQ(cover.status, TCoverArt::TStatus::Found);
    EXPECT_EQ(cover.mimeType, QStringLiteral("image/jpeg"));
    EXPECT_EQ(cover.data, jpeg);
    EXPECT_EQ(server_.RequestedTargets().size(), 2);
}

TEST_F(CoverArtTest, MissingCoverAndWrongBytesAreClearStatuses)
{
    EXPECT_EQ(Fetch(kRelease).status, TCoverArt::TStatus::Missing); // the server's 404
    EXPECT_EQ(Fetch(QString()).status, TCoverArt::TStatus::Missing);

    server_.Serve("/release/" + kRelease.toLatin1() + "/front-500",
                  HttpReply{200, "<html>not an image</html>", "image/jpeg", {}, 0, false});
    const TCoverArt html = Fetch(kRelease);
    EXPECT_EQ(html.status, TCoverArt::TStatus::Failed);
    EXPECT_FALSE(html.message.IsEmpty());

    // A cover past its cap (which leaves room in every format) is dropped.
    QByteArray huge = QByteArray::fromHex("ffd8ffe000104a464946");
    huge.append(QByteArray(kCoverAnswerLimit + 1 - huge.size(), 'j'));
    server_.Serve("/release/" + kRelease.toLatin1() + "/front-500",
                  HttpReply{200, huge, "image/jpeg", {}, 0, false});
    const TCoverArt tooLarge = Fetch(kRelease);
    EXPECT_EQ(tooLarge.status, TCoverArt::TStatus::Failed);
    EXPECT_TRUE(tooLarge.data.isEmpty());
    EXPECT_EQ(tooLarge.message.Chinese(), QStringLiteral("查询失败: Cover Art Archive 回答过大"));
    EXPECT_LT(kCoverAnswerLimit, 16 * 1024 * 1024);

    const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");
    EXPECT_EQ(ImageMimeType(png), QStringLiteral("image/png"));
    EXPECT_TRUE(ImageMimeType(png.left(7)).isEmpty());
}

} // namespace
} // namespace sonfeld::app::metadata
