// Renders the main window with a disc listed and a rip in progress, the
// settings page, the options dialog, the about box, the help viewer, the
// album panel with names and the release chooser to PNG files.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>

#include "app/metadata/disc_names.h"
#include "app/metadata/release_candidate.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/text/texts.h"
#include "app/ui/about_box.h"
#include "app/ui/album_panel.h"
#include "app/ui/help_viewer.h"
#include "app/ui/option_dialog.h"
#include "app/ui/release_chooser.h"
#include "app_fixture.h"
#include "support/http/http_test_server.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

// A MusicBrainz answer naming the disc: one release, one medium.
QByteArray ReleaseAnswer(const metadata::TDiscKey& disc)
{
    const char* titles[] = {"晨光", "海港漫步", "涨潮", "灯塔"};
    const QByteArray artist =
        R"({"name":"北方的艾达","joinphrase":"","artist":{"id":"40000000-0000-4000-8000-00000000000a","name":"北方的艾达"}})";
    QByteArray offsets;
    for (const int offset : disc.freedbOffsets)
        offsets += QByteArray(offsets.isEmpty() ? "" : ",") + QByteArray::number(offset);
    const QByteArray discJson = R"({"id":")" + disc.musicBrainzDiscId.toUtf8() + R"(","sectors":)" +
                                QByteArray::number(disc.freedbLeadout) + R"(,"offset-count":)" +
                                QByteArray::number(disc.freedbOffsets.size()) + R"(,"offsets":[)" +
                                offsets + "]}";
    QByteArray tracks;
    for (int i = 0; i < disc.trackCount && i < 4; ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        const QByteArray credit =
            i == 2
                ? R"({"name":"北方的艾达","joinphrase":" & ","artist":{"id":"40000000-0000-4000-8000-00000000000a","name":"北方的艾达"}},{"name":"真理子","joinphrase":"","artist":{"id":"40000000-0000-4000-8000-00000000000b","name":"真理子"}})"
                : artist;
        tracks += QByteArray(tracks.isEmpty() ? "" : ",") +
                  R"({"id":"20000000-0000-4000-8000-0000000000)" + n + R"(","number":")" + n +
                  R"(","position":)" + n + R"(,"title":")" + titles[i] +
                  R"(","recording":{"id":"30000000-0000-4000-8000-0000000000)" + n +
                  R"(","title":")" + titles[i] + R"("},"artist-credit":[)" + credit + "]}";
    }
    return discJson.left(discJson.size() - 1) +
           R"(,"releases":[{"id":"10000000-0000-4000-8000-00000000000a","title":"海港之光",
  "date":"2001-05-03","country":"CN","barcode":"6901234567892","artist-credit":[)" +
           artist +
           R"(],"label-info":[{"catalog-number":"HG-0101","label":{"id":"50000000-0000-4000-8000-000000000001","name":"海港唱片"}}],
  "release-group":{"id":"60000000-0000-4000-8000-000000000001","title":"海港之光","primary-type":"Album"},
  "media":[{"position":1,"format":"CD","track-count":)" +
           QByteArray::number(disc.trackCount) + R"(,"discs":[)" + discJson + R"(],"tracks":[)" +
           tracks + "]}]}]}";
}

class Screenshots : public WindowTest {
protected:
    // The listed disc's names looked up at a local server, as "查询" does.
    void LookUpNames()
    {
        ASSERT_TRUE(WaitUntil([this] { return !Form().Names()->Busy(); }));
        const metadata::TDiscKey disc = Form().Names()->Key();
        ASSERT_FALSE(disc.musicBrainzDiscId.isEmpty());
        server_ = std::make_unique<HttpTestServer>();
        server_->Serve(("/ws/2/discid/" + disc.musicBrainzDiscId).toUtf8(),
                       HttpReply{200, ReleaseAnswer(disc), "application/json", {}, 0, false});
        for (const char* name : {"MusicBrainzServer", "GnudbServer", "CoverArtServer"})
            WriteSetting(QString::fromLatin1(name), server_->BaseUrl());
        Write(key::kEmbedCover, false);
        Form().btnLookup->trigger();
        ASSERT_TRUE(WaitUntil([this] { return !Form().Names()->Busy(); }));
        ASSERT_EQ(Form().Names()->Source(), metadata::TMetadataSource::MusicBrainz);
    }

    std::unique_ptr<HttpTestServer> server_;

    std::vector<std::int64_t> DiscSectors() const override
    {
        return {24 * 75, 19 * 75 + 37, 21 * 75 + 12, 17 * 75 + 50};
    }

    // name.png at 100 %; name@2x.png and the like when the screen is scaled.
    void Save(QWidget& widget, const char* name)
    {
        QDir().mkpath(QStringLiteral(SONFELD_SCREENSHOT_DIR));
        const qreal ratio = widget.devicePixelRatioF();
        const QString suffix = ratio == 1.0 ? QString() : QStringLiteral("@%1x").arg(ratio);
        const QString file = QDir(QStringLiteral(SONFELD_SCREENSHOT_DIR))
                                 .filePath(QLatin1String(name) + suffix + QStringLiteral(".png"));
        const QPixmap picture = widget.grab();
        EXPECT_FALSE(picture.isNull());
        EXPECT_TRUE(picture.save(file)) << file.toStdString();
    }
};

TEST_F(Screenshots, WindowSettingsOptionsAndAbout)
{
    WriteSetting(QStringLiteral("CPU_INT"), QStringLiteral("25"));
    OpenWindows();
    // The window as it opens, its one drive chosen.
    ChooseFormat(QStringLiteral("FLAC"));
    Form().edtDes->setText(QString::fromStdString(outDir_.string()));
    LookUpNames();
    Rows().SetChecked(2, false);
    PressRip();
    ASSERT_TRUE(WaitUntil([this] { return Rows().Progress(1) >= 35; }, 120000));
    // Long enough after a step for the speed and time left to show.
    Pump(1100);
    Save(Form(), "main-window");
    PressStop();

    Form().MainTabControl->setCurrentIndex(1);
    Save(Form(), "settings-page");
    Form().MainTabControl->setCurrentIndex(0);

    windows_.Options->show();
    Save(*windows_.Options, "options-dialog");
    windows_.Options->hide();
    windows_.About->show();
    Save(*windows_.About, "about-box");
    windows_.About->hide();

    // No desktop launcher here: F1 shows the page in the program's viewer.
    Form().btnHelp->trigger();
    ASSERT_NE(Form().HelpViewer, nullptr);
    Save(*Form().HelpViewer, "help-viewer");
    Form().HelpViewer->hide();
}

TEST_F(Screenshots, AlbumPanelAndReleaseChooser)
{
    OpenWindows();
    Form().resize(760, 560);
    SelectDiscDrive();
    LookUpNames();
    // What the user typed is shown beside what was found.
    QLineEdit* genre = Form().AlbumPanel->Edit(TAlbumPanel::TField::Genre);
    genre->setText(QStringLiteral("爵士"));
    genre->setModified(true);
    emit genre->editingFinished();
    Pump(100); // the layout takes the new texts' sizes
    Save(Form(), "album-panel");

    QList<metadata::TReleaseCandidate> releases(3);
    const char* countries[] = {"CN", "JP", "XW"};
    const char* dates[] = {"2001-05-03", "2001-06-20", "2009"};
    const char* labels[] = {"海港唱片", "Harbor Records", "Harbor Records"};
    const char* catalogues[] = {"HG-0101", "HRJ-2201", "HR-0901"};
    const char* barcodes[] = {"6901234567892", "4988001234567", ""};
    for (int i = 0; i < 3; ++i) {
        releases[i].artist = QStringLiteral("北方的艾达");
        releases[i].title =
            i == 2 ? QStringLiteral("海港之光 (重制版)") : QStringLiteral("海港之光");
        releases[i].date = QLatin1String(dates[i]);
        releases[i].country = QLatin1String(countries[i]);
        releases[i].label = QString::fromUtf8(labels[i]);
        releases[i].catalogNumber = QLatin1String(catalogues[i]);
        releases[i].barcode = QLatin1String(barcodes[i]);
        releases[i].trackCount = i == 2 ? 14 : 12;
    }
    TReleaseChooser chooser(releases, 0, &Form());
    chooser.show();
    Pump(100);
    Save(chooser, "release-chooser");
    chooser.hide();
}

} // namespace
} // namespace sonfeld::test
