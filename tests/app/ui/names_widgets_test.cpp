// The window's parts for the disc's names: the album panel, the grid's artist
// column, the release chooser, "查询" and the names-and-tags settings.

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "app/metadata/disc_names.h"
#include "app/metadata/release_candidate.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/ui/album_panel.h"
#include "app/ui/release_chooser.h"
#include "app_fixture.h"
#include "audio/cd/cd_in.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;
using metadata::TAlbumMetadata;
using metadata::TMetadataSource;
using metadata::TReleaseCandidate;
using TField = TAlbumPanel::TField;

using NamesWidgetsTest = WindowTest;

TAlbumMetadata ExampleAlbum()
{
    TAlbumMetadata album;
    album.albumArtist.value = QStringLiteral("北方的艾达");
    album.album.value = QStringLiteral("海港之光");
    album.date.value = QStringLiteral("2001-05-03");
    album.genre.value = QStringLiteral("Jazz");
    album.discNumber.value = QStringLiteral("1");
    album.discTotal.value = QStringLiteral("2");
    album.comment.value = QStringLiteral("首版");
    album.source = TMetadataSource::MusicBrainz;
    return album;
}

// Key presses carrying text, as an input method delivers Chinese (the test
// library's key clicks take ASCII only).
void KeyIn(QWidget* box, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
}

// A click on the box's caption (its middle may be empty space).
void Click(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

// Types into a box as the user does and finishes with Enter.
void Type(QLineEdit* box, const QString& text)
{
    box->selectAll();
    KeyIn(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

TEST_F(NamesWidgetsTest, ThePanelIsFilledWithoutEditsAndReportsWhatTheUserTypes)
{
    OpenWindows();
    TAlbumPanel& panel = *Form().AlbumPanel;
    QSignalSpy edits(&panel, &TAlbumPanel::FieldEdited);
    // The generated disc's CUE names its album.
    EXPECT_EQ(panel.SourceLine(), QStringLiteral("来源：CD-TEXT"));

    panel.SetMetadata(ExampleAlbum());
    EXPECT_EQ(panel.Text(TField::AlbumArtist), QStringLiteral("北方的艾达"));
    EXPECT_EQ(panel.Text(TField::Album), QStringLiteral("海港之光"));
    EXPECT_EQ(panel.Text(TField::Year), QStringLiteral("2001-05-03"));
    EXPECT_EQ(panel.Text(TField::DiscNumber), QStringLiteral("1"));
    EXPECT_EQ(panel.Text(TField::DiscTotal), QStringLiteral("2"));
    EXPECT_EQ(panel.Text(TField::Comment), QStringLiteral("首版"));
    EXPECT_EQ(panel.SourceLine(), QStringLiteral("来源：MusicBrainz"));
    // The settings page's album box shows the same album.
    EXPECT_EQ(Settings().edtAlbum->text(), QStringLiteral("海港之光"));
    // Leaving a box that was only filled is no edit.
    emit panel.Edit(TField::Genre)->editingFinished();
    EXPECT_EQ(edits.count(), 0);

    Type(panel.Edit(TField::Genre), QStringLiteral("爵士"));
    ASSERT_EQ(edits.count(), 1);
    EXPECT_EQ(edits[0][0].value<TField>(), TField::Genre);
    EXPECT_EQ(edits[0][1].toString(), QStringLiteral("爵士"));
    // Finishing again without typing reports nothing new.
    emit panel.Edit(TField::Genre)->editingFinished();
    EXPECT_EQ(edits.count(), 1);

    // Typing the album on the settings page is an edit of the album too.
    Form().MainTabControl->setCurrentIndex(1);
    QTest::mouseClick(Settings().chkAddAlbum, Qt::LeftButton);
    Type(Settings().edtAlbum, QStringLiteral("Hafenlicht"));
    ASSERT_EQ(edits.count(), 2);
    EXPECT_EQ(edits[1][0].value<TField>(), TField::Album);
    EXPECT_EQ(edits[1][1].toString(), QStringLiteral("Hafenlicht"));
    EXPECT_EQ(panel.Text(TField::Album), QStringLiteral("Hafenlicht"));
    // And the album box of the panel feeds the MP3 album tag.
    Type(panel.Edit(TField::Album), QStringLiteral("海港"));
    EXPECT_EQ(Form().AlbumText(), QStringLiteral("海港"));
    EXPECT_EQ(edits.count(), 3);

    TAlbumMetadata none;
    panel.SetMetadata(none);
    EXPECT_TRUE(panel.SourceLine().isEmpty());
    EXPECT_TRUE(Settings().edtAlbum->text().isEmpty());
    EXPECT_EQ(edits.count(), 3);
}

TEST_F(NamesWidgetsTest, LabelCatalogueNumberAndBarcodeAreShownAndEdited)
{
    OpenWindows();
    TAlbumPanel& panel = *Form().AlbumPanel;
    TAlbumMetadata album = ExampleAlbum();
    album.label.value = QStringLiteral("潮汐唱片");
    album.catalogNumber.value = QStringLiteral("TDR-0042");
    album.barcode.value = QStringLiteral("4900000000017");
    panel.SetMetadata(album);
    EXPECT_EQ(panel.Text(TField::Label), QStringLiteral("潮汐唱片"));
    EXPECT_EQ(panel.Text(TField::CatalogNumber), QStringLiteral("TDR-0042"));
    EXPECT_EQ(panel.Text(TField::Barcode), QStringLiteral("4900000000017"));

    // What the user types reaches the names the tags are written from.
    Type(panel.Edit(TField::Label), QStringLiteral("Tide"));
    Type(panel.Edit(TField::CatalogNumber), QStringLiteral("TD-1"));
    Type(panel.Edit(TField::Barcode), QStringLiteral("0123456789012"));
    const TAlbumMetadata& names = Form().Names()->Metadata().album;
    EXPECT_EQ(names.label.value, QStringLiteral("Tide"));
    EXPECT_EQ(names.catalogNumber.value, QStringLiteral("TD-1"));
    EXPECT_EQ(names.barcode.value, QStringLiteral("0123456789012"));
    EXPECT_EQ(panel.Text(TField::Barcode), QStringLiteral("0123456789012"));
    Form().SetRipping(true);
    EXPECT_TRUE(panel.Edit(TField::Barcode)->isReadOnly());
    EXPECT_FALSE(panel.ChooseCoverButton()->isEnabled());
    Form().SetRipping(false);
}

TEST_F(NamesWidgetsTest, ALocalCoverIsCheckedShownAndUsed)
{
    OpenWindows();
    TAlbumPanel& panel = *Form().AlbumPanel;
    EXPECT_FALSE(panel.ShowsCover());
    QTemporaryDir dir;
    auto file = [&dir](const char* name, const QByteArray& bytes) {
        QString path = dir.filePath(QLatin1String(name));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return path;
    };
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));

    // Not images, a PNG cut short, and a file over 16 MiB are refused with a
    // message, and the cover stays as it was.
    QByteArray cut = png.left(png.size() / 2);
    const QString refused[] = {file("notes.jpg", "这不是图像"), file("cut.png", cut),
                               dir.filePath(QStringLiteral("missing.png"))};
    for (const QString& path : refused) {
        SCOPED_TRACE(path.toStdString());
        const std::size_t before = messages_.Messages.size();
        EXPECT_FALSE(panel.ChooseCoverFile(path));
        ASSERT_EQ(messages_.Messages.size(), before + 1);
        EXPECT_EQ(messages_.Messages.back().Icon, QMessageBox::Warning);
        EXPECT_FALSE(panel.ShowsCover());
        EXPECT_FALSE(Form().Names()->HasCover());
    }
    EXPECT_EQ(messages_.Messages.back().Text, QStringLiteral("无法读取“missing.png”。"));
    EXPECT_EQ(messages_.Messages[messages_.Messages.size() - 3].Text,
              QStringLiteral("“notes.jpg”不是 JPEG 或 PNG 图像，不能作为封面。"));
    const QString huge = file("huge.png", png);
    std::filesystem::resize_file(huge.toStdString(), 16 * 1024 * 1024 + 1);
    EXPECT_FALSE(panel.ChooseCoverFile(huge));
    EXPECT_EQ(messages_.Messages.back().Text,
              QStringLiteral("“huge.png”大于 16 MiB，不能作为封面。"));

    // A real image becomes the disc's cover and its thumbnail.
    EXPECT_TRUE(panel.ChooseCoverFile(file("cover.png", png)));
    EXPECT_TRUE(panel.ShowsCover());
    ASSERT_TRUE(Form().Names()->HasCover());
    EXPECT_EQ(Form().Names()->Cover().data, png);
    EXPECT_EQ(Form().Names()->Cover().mimeType, QStringLiteral("image/png"));
}

TEST_F(NamesWidgetsTest, ALookupEndingWhileTheUserTypesKeepsTheTyping)
{
    OpenWindows();
    Form().activateWindow();
    TAlbumPanel& panel = *Form().AlbumPanel;
    QSignalSpy edits(&panel, &TAlbumPanel::FieldEdited);
    QLineEdit* artist = panel.Edit(TField::AlbumArtist);
    artist->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([artist] { return artist->hasFocus(); }, 2000));
    QTest::keyClicks(artist, QStringLiteral("Ada"));
    panel.SetMetadata(ExampleAlbum());
    EXPECT_EQ(artist->text(), QStringLiteral("Ada"));
    EXPECT_EQ(panel.Text(TField::Album), QStringLiteral("海港之光"));
    QTest::keyClick(artist, Qt::Key_Return);
    ASSERT_EQ(edits.count(), 1);
    EXPECT_EQ(edits[0][1].toString(), QStringLiteral("Ada"));
}

TEST_F(NamesWidgetsTest, TheArtistColumnIsEditedInTheGridAndReportsTheTrack)
{
    OpenWindows();
    SelectDiscDrive();
    QSignalSpy artistEdits(&Rows(), &TTrackListModel::ArtistEdited);
    QSignalSpy nameEdits(&Rows(), &TTrackListModel::NameEdited);
    // Set from the names found: no edit.
    Rows().SetArtist(0, QStringLiteral("北方的艾达"));
    EXPECT_EQ(Rows().index(0, tlArtist).data().toString(), QStringLiteral("北方的艾达"));
    EXPECT_EQ(artistEdits.count(), 0);

    // Sorted backwards, the first row is track 4: the edit names the track.
    QTableView* grid = Form().TracksList;
    grid->sortByColumn(tlTrack, Qt::DescendingOrder);
    const QModelIndex cell = Rows().index(0, tlArtist);
    ASSERT_TRUE(Rows().flags(cell) & Qt::ItemIsEditable);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* editor = grid->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Jörg & 真理子"));
    grid->setCurrentIndex(Rows().index(1, tlArtist));
    ASSERT_EQ(artistEdits.count(), 1);
    EXPECT_EQ(artistEdits[0][0].toInt(), 4);
    EXPECT_EQ(artistEdits[0][1].toString(), QStringLiteral("Jörg & 真理子"));
    EXPECT_EQ(Rows().Artist(0), QStringLiteral("Jörg & 真理子"));
    EXPECT_EQ(nameEdits.count(), 0);

    Rows().setData(Rows().index(1, tlOutName), QStringLiteral("涨潮"), Qt::EditRole);
    ASSERT_EQ(nameEdits.count(), 1);
    EXPECT_EQ(nameEdits[0][0].toInt(), 3);
    // An editor opened and left without a change is no edit.
    const QModelIndex name = Rows().index(2, tlOutName);
    grid->setCurrentIndex(name);
    grid->edit(name);
    grid->setCurrentIndex(Rows().index(2, tlArtist));
    grid->edit(Rows().index(2, tlArtist));
    grid->setCurrentIndex(Rows().index(3, tlArtist));
    EXPECT_EQ(nameEdits.count(), 1);
    EXPECT_EQ(artistEdits.count(), 1);

    // A change of format keeps the artists with their tracks.
    grid->sortByColumn(tlTrack, Qt::AscendingOrder);
    ChooseFormat(QStringLiteral("MP3"));
    EXPECT_EQ(Rows().Artist(3), QStringLiteral("Jörg & 真理子"));
    EXPECT_EQ(artistEdits.count(), 1);
    // The edits are the disc's names now, kept as typed by the user.
    const metadata::TDiscMetadata& names = Form().Names()->Metadata();
    ASSERT_GE(names.tracks.size(), 4);
    EXPECT_EQ(names.tracks[3].artist.value, QStringLiteral("Jörg & 真理子"));
    EXPECT_TRUE(names.tracks[3].artist.userEdited);
    EXPECT_EQ(names.tracks[2].title.value, QStringLiteral("涨潮"));
    EXPECT_TRUE(names.tracks[2].title.userEdited);
}

TEST_F(NamesWidgetsTest, LookupIsOfferedForAListedDiscWhileNoRipRuns)
{
    // Two drives: nothing is listed, so nothing can be looked up, until one is chosen.
    TCDIn::AddImageDrive(disc_.cue.string());
    OpenWindows();
    QSignalSpy requests(&Form(), &TMainForm::LookupRequested);
    EXPECT_FALSE(Form().btnLookup->isEnabled());
    EXPECT_EQ(Form().btnLookup->text(), QStringLiteral("查询"));
    SelectDiscDrive();
    EXPECT_TRUE(Form().btnLookup->isEnabled());
    Form().btnLookup->trigger();
    EXPECT_EQ(requests.count(), 1);

    Form().SetRipping(true);
    EXPECT_FALSE(Form().btnLookup->isEnabled());
    EXPECT_TRUE(Form().AlbumPanel->Edit(TField::Album)->isReadOnly());
    EXPECT_TRUE(Form().AlbumPanel->Edit(TField::Comment)->isReadOnly());
    Form().SetRipping(false);
    EXPECT_TRUE(Form().btnLookup->isEnabled());
    EXPECT_FALSE(Form().AlbumPanel->Edit(TField::Album)->isReadOnly());

    Form().ShowLookupStatus(QStringLiteral("查询失败: 超时"));
    EXPECT_EQ(Form().lblLookupStatus->text(), QStringLiteral("查询失败: 超时"));
    EXPECT_TRUE(Form().lblLookupStatus->isVisible());
}

TEST_F(NamesWidgetsTest, NameSettingsAreSavedAndShownWhenTheWindowOpensAgain)
{
    OpenWindows();
    // An empty store: the defaults, before the settings tab was ever opened.
    EXPECT_TRUE(NamesGroup().chkAutoLookup->isChecked());
    EXPECT_TRUE(NamesGroup().chkFullTags->isChecked());
    EXPECT_TRUE(NamesGroup().chkEmbedCover->isChecked());
    EXPECT_EQ(NamesGroup().edtFileNameTemplate->text(), QStringLiteral("{title}"));
    EXPECT_EQ(NamesGroup().lblTemplateExample->text(), QStringLiteral("例如: 涨潮"));

    Form().MainTabControl->setCurrentIndex(1);
    Click(NamesGroup().chkAutoLookup);
    Click(NamesGroup().chkEmbedCover);
    QLineEdit* pattern = NamesGroup().edtFileNameTemplate;
    // Ready templates to choose from, in the box that is typed in.
    auto* templates = Form().findChild<QComboBox*>(QStringLiteral("cbFileNameTemplate"));
    ASSERT_NE(templates, nullptr);
    EXPECT_EQ(pattern->parent(), templates);
    ASSERT_GE(templates->count(), 3);
    templates->setCurrentIndex(2);
    EXPECT_EQ(pattern->text(),
              QStringLiteral("{albumartist}/{album}[ (disc {disc})]/{track:02} {title}"));
    EXPECT_EQ(NamesGroup().lblTemplateExample->text(),
              QStringLiteral("例如: 群星/海港之光 (disc 1)/03 涨潮"));
    pattern->selectAll();
    QTest::keyClicks(pattern, QStringLiteral("{albumartist}/{album}/{track:02} {title}"));
    // The example follows the typing.
    EXPECT_EQ(NamesGroup().lblTemplateExample->text(),
              QStringLiteral("例如: 群星/海港之光/03 涨潮"));
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    EXPECT_FALSE(Read(key::kAutoLookup));
    EXPECT_TRUE(Read(key::kFullTags));
    EXPECT_FALSE(Read(key::kEmbedCover));
    EXPECT_EQ(Read(key::kFileNameTemplate),
              QStringLiteral("{albumartist}/{album}/{track:02} {title}"));
    EXPECT_TRUE(messages_.Messages.empty());

    windows_ = {};
    OpenWindows();
    EXPECT_FALSE(NamesGroup().chkAutoLookup->isChecked());
    EXPECT_TRUE(NamesGroup().chkFullTags->isChecked());
    EXPECT_FALSE(NamesGroup().chkEmbedCover->isChecked());
    EXPECT_EQ(NamesGroup().edtFileNameTemplate->text(),
              QStringLiteral("{albumartist}/{album}/{track:02} {title}"));
    EXPECT_EQ(NamesGroup().lblTemplateExample->text(),
              QStringLiteral("例如: 群星/海港之光/03 涨潮"));
}

TEST_F(NamesWidgetsTest, AWrongTemplateIsShownInRedAndNotStored)
{
    WriteSetting(QStringLiteral("FileNameTemplate"), QStringLiteral("{track:02} {title}"));
    OpenWindows();
    Form().MainTabControl->setCurrentIndex(1);
    EXPECT_EQ(NamesGroup().edtFileNameTemplate->text(), QStringLiteral("{track:02} {title}"));
    EXPECT_FALSE(NamesGroup().lblTemplateExample->styleSheet().contains(QStringLiteral("#b00000")));

    for (const QString& wrong :
         {QStringLiteral("{nosuchfield}"), QStringLiteral("{title"), QString()}) {
        NamesGroup().edtFileNameTemplate->setText(wrong);
        EXPECT_TRUE(NamesGroup().lblTemplateExample->text().startsWith(QStringLiteral("模板有误")))
            << wrong.toStdString() << ": " << NamesGroup().lblTemplateExample->text().toStdString();
        EXPECT_TRUE(
            NamesGroup().lblTemplateExample->styleSheet().contains(QStringLiteral("#b00000")));
    }
    NamesGroup().edtFileNameTemplate->setText(QStringLiteral("{nosuchfield}"));
    Click(NamesGroup().chkFullTags);
    QTest::mouseClick(Settings().btnSave, Qt::LeftButton);
    ASSERT_EQ(messages_.Messages.size(), 1u);
    EXPECT_TRUE(messages_.Messages[0].Text.contains(QStringLiteral("文件名模板有误")));
    EXPECT_EQ(Read(key::kFileNameTemplate), QStringLiteral("{track:02} {title}"));
    // The page's other settings are saved all the same.
    EXPECT_FALSE(Read(key::kFullTags));

    NamesGroup().edtFileNameTemplate->setText(QStringLiteral("{title}"));
    EXPECT_EQ(NamesGroup().lblTemplateExample->text(), QStringLiteral("例如: 涨潮"));
    EXPECT_FALSE(NamesGroup().lblTemplateExample->styleSheet().contains(QStringLiteral("#b00000")));
}

QList<TReleaseCandidate> ThreeReleases()
{
    QList<TReleaseCandidate> releases(3);
    const char* countries[] = {"JP", "DE", "XW"};
    for (int i = 0; i < 3; ++i) {
        releases[i].artist = QStringLiteral("北方的艾达");
        releases[i].title = QStringLiteral("海港之光");
        releases[i].country = QLatin1String(countries[i]);
        releases[i].date = QStringLiteral("200%1").arg(i + 1);
        releases[i].label = QStringLiteral("Label %1").arg(i);
        releases[i].catalogNumber = QStringLiteral("CAT-%1").arg(i);
        releases[i].barcode = QStringLiteral("490000000000%1").arg(i);
        releases[i].trackCount = 10 + i;
        releases[i].metadata.album.media.value =
            i == 2 ? QStringLiteral("SACD") : QStringLiteral("CD");
        releases[i].metadata.album.discTotal.value = QString::number(i + 1);
    }
    return releases;
}

TEST_F(NamesWidgetsTest, TheChooserListsTheReleasesAndEnterPicksTheCurrentOne)
{
    TReleaseChooser chooser(ThreeReleases(), 1, nullptr);
    QTableWidget* list = chooser.List();
    ASSERT_EQ(list->rowCount(), 3);
    ASSERT_EQ(list->columnCount(), 10);
    EXPECT_EQ(list->horizontalHeaderItem(5)->text(), QStringLiteral("目录号"));
    EXPECT_EQ(list->item(2, 3)->text(), QStringLiteral("XW"));
    EXPECT_EQ(list->item(1, 6)->text(), QStringLiteral("4900000000001"));
    EXPECT_EQ(list->item(0, 7)->text(), QStringLiteral("10"));
    EXPECT_EQ(list->horizontalHeaderItem(8)->text(), QStringLiteral("介质"));
    EXPECT_EQ(list->item(2, 8)->text(), QStringLiteral("SACD"));
    EXPECT_EQ(list->horizontalHeaderItem(9)->text(), QStringLiteral("介质数"));
    EXPECT_EQ(list->item(1, 9)->text(), QStringLiteral("2"));
    // The release chosen before is the current row.
    EXPECT_EQ(chooser.ChosenIndex(), 1);

    chooser.show();
    chooser.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&chooser));
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_FALSE(chooser.isVisible());
    EXPECT_EQ(chooser.ChosenIndex(), 2);

    TReleaseChooser cancelled(ThreeReleases(), 7, nullptr);
    EXPECT_EQ(cancelled.ChosenIndex(), 0);
    cancelled.show();
    QTest::keyClick(cancelled.List(), Qt::Key_Escape);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
}

} // namespace
} // namespace sonfeld::test
