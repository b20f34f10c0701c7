// Renders the main window with a disc listed and a rip in progress, the
// settings page, the options dialog and the about box to PNG files.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>

#include "app/rip/settings_store.h"
#include "app/rip/texts.h"
#include "app/ui/about_box.h"
#include "app/ui/option_dialog.h"
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

} // namespace
} // namespace sonfeld::test
