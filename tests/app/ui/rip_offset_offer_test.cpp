// A rip whose tracks all mismatch, from an image holding the disc as a drive
// with a read offset reads it: the window offers the offset at which they
// match, and 是 stores it for the drive.

#include <QLineEdit>
#include <cstdio>

#include "app/settings/reading_settings.h"
#include "app/settings/setting_keys.h"
#include "app_fixture.h"
#include "audio/cd/cd_in.h"
#include "audio/cd/verify/reference_checksums.h"
#include "support/http/http_test_server.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class RipOffsetOfferTest : public WindowTest {
protected:
    std::vector<std::int64_t> DiscSectors() const override { return {300, 300}; }

    // The database file of the image's disc, its sums taken offset samples later.
    QByteArray DatabaseFile(int offset, QByteArray* path) const
    {
        std::vector<std::uint8_t> all;
        for (int track = 1; track <= 2; ++track) {
            const std::vector<std::uint8_t> bytes = disc_.TrackBytes(track);
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        const auto start2 = static_cast<std::uint32_t>(disc_.layout.tracks[1].start);
        const auto start1 = static_cast<std::uint32_t>(disc_.layout.tracks[0].start);
        const auto leadOut = static_cast<std::uint32_t>(disc_.layout.leadOut);
        const std::uint32_t id1 = start1 + start2 + leadOut;
        const std::uint32_t id2 = std::max(start1, 1u) + 2 * start2 + 3 * leadOut;
        std::uint32_t digits = 0;
        for (std::uint32_t start : {start1, start2})
            for (std::uint32_t seconds = (start + 150) / 75; seconds > 0; seconds /= 10)
                digits += seconds % 10;
        const std::uint32_t freedb =
            ((digits % 255) << 24) | (((leadOut + 150) / 75 - (start1 + 150) / 75) << 8) | 2;
        char name[80];
        std::snprintf(name, sizeof name, "/%x/%x/%x/dBAR-002-%08x-%08x-%08x.bin", id1 & 0xF,
                      (id1 >> 4) & 0xF, (id1 >> 8) & 0xF, id1, id2, freedb);
        *path = name;

        QByteArray file;
        auto put32 = [&file](std::uint32_t v) {
            for (int b = 0; b < 4; ++b)
                file.append(static_cast<char>((v >> (8 * b)) & 0xFF));
        };
        file.append(static_cast<char>(2));
        put32(id1);
        put32(id2);
        put32(freedb);
        std::size_t begin = 0;
        for (int track = 1; track <= 2; ++track) {
            const std::size_t length = disc_.TrackBytes(track).size();
            std::vector<std::uint8_t> right(length, 0);
            for (std::size_t i = 0; i < length; ++i)
                if (begin + static_cast<std::size_t>(offset) * 4 + i < all.size())
                    right[i] = all[begin + static_cast<std::size_t>(offset) * 4 + i];
            file.append(static_cast<char>(7));
            put32(verify::test::Reference(right, track == 1, track == 2).v1);
            put32(0);
            begin += length;
        }
        return file;
    }

    QApplication& application_ = App(); // before the server
    HttpTestServer server_;
};

TEST_F(RipOffsetOfferTest, YesStoresTheOffsetAtWhichTheTracksMatch)
{
    constexpr int kOffset = 102;
    QByteArray path;
    const QByteArray file = DatabaseFile(kOffset, &path);
    server_.Serve(path, HttpReply{200, file, "application/octet-stream", {}, 0, false});
    Write(key::kAccurateRipServer, server_.BaseUrl());
    Write(key::kReadingMode, QStringLiteral("secure"));
    OpenWindows();
    SelectDiscDrive();
    ChooseFormat(QStringLiteral("Wav"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    const QString drive = QString::fromStdString(Form().Components().ReadCDIn->DriveName());
    messages_.QuestionAnswer = QMessageBox::Yes;
    PressRip();
    ASSERT_TRUE(WaitForRipEnd());
    const auto offered = [this] {
        for (const TMessageRequest& message : messages_.Messages)
            if (message.Icon == QMessageBox::Question)
                return true;
        return false;
    };
    ASSERT_TRUE(WaitUntil(offered));
    EXPECT_EQ(Rows().Verdict(0), QStringLiteral("不匹配"));
    const TMessageRequest& question = messages_.Messages.back();
    EXPECT_EQ(question.Caption, QStringLiteral("读取偏移"));
    EXPECT_TRUE(question.Text.contains(QString::number(kOffset))) << question.Text.toStdString();
    EXPECT_EQ(question.Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(ReadOffsetOfDrive(drive), kOffset);
}

} // namespace
} // namespace sonfeld::test
