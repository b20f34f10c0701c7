// Renders the main window with a disc listed and a rip in progress, the
// settings page, the options dialog, the about box, the album panel with
// names and the release chooser to PNG files.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>

#include "app/rip/metadata/release_candidate.h"
#include "app/rip/settings_store.h"
#include "app/rip/texts.h"
#include "app/ui/about_box.h"
#include "app/ui/album_panel.h"
#include "app/ui/option_dialog.h"
#include "app/ui/release_chooser.h"
#include "app_fixture.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class Screenshots : public WindowTest {
protected:
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
    Rows().SetName(0, QStringLiteral("晨光"));
    Rows().SetName(1, QStringLiteral("海港漫步"));
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
}

TEST_F(Screenshots, AlbumPanelAndReleaseChooser)
{
    OpenWindows();
    Form().resize(760, 560);
    SelectDiscDrive();
    metadata::TAlbumMetadata album;
    album.albumArtist.value = QStringLiteral("北方的艾达");
    album.album.value = QStringLiteral("海港之光");
    album.date.value = QStringLiteral("2001");
    album.genre.value = QStringLiteral("爵士");
    album.discNumber.value = QStringLiteral("1");
    album.discTotal.value = QStringLiteral("2");
    album.source = metadata::TMetadataSource::MusicBrainz;
    Form().AlbumPanel->SetMetadata(album);
    const QString titles[] = {QStringLiteral("晨光"), QStringLiteral("海港漫步"),
                              QStringLiteral("涨潮"), QStringLiteral("灯塔")};
    for (int row = 0; row < 4; ++row) {
        Rows().SetName(row, titles[row]);
        Rows().SetArtist(row, row == 2 ? QStringLiteral("北方的艾达 & 真理子")
                                       : QStringLiteral("北方的艾达"));
    }
    Pump(100); // the layout takes the new texts' sizes
    Save(Form(), "album-panel.png");

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
    Save(chooser, "release-chooser.png");
    chooser.hide();
}

} // namespace
} // namespace sonfeld::test
