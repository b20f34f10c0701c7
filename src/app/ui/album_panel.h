#pragma once

#include <QWidget>

#include "app/metadata/cover_art.h"
#include "app/metadata/disc_metadata.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace sonfeld::app {

// The album's names above the track grid: the front cover as a thumbnail,
// album artist, album, year, genre, disc n / N, the user's comment, label,
// catalogue number, barcode, and where the names came from. It shows what it
// is given and reports what the user types or picks; it keeps no names of its
// own. UI thread.
class TAlbumPanel final : public QWidget {
    Q_OBJECT
public:
    // Year is the box "年份", which holds the album's whole date.
    enum class TField {
        AlbumArtist,
        Album,
        Year,
        Genre,
        DiscNumber,
        DiscTotal,
        Comment,
        Label,
        CatalogNumber,
        Barcode
    };
    Q_ENUM(TField)

    explicit TAlbumPanel(QWidget* parent = nullptr);

    // Fills every box and the source line; raises no FieldEdited. A box the
    // user is typing in keeps the typing.
    void SetMetadata(const metadata::TAlbumMetadata& album);
    QString Text(TField field) const;
    QLineEdit* Edit(TField field) const;
    // "来源：MusicBrainz" and so on; empty while the names have no source.
    QString SourceLine() const;

    // The read-only state of a running rip.
    void SetReadOnly(bool value);
    // "忘记此光盘的名称": asks for ForgetRequested; enabled while a disc is listed.
    QPushButton* ForgetButton() const { return btnForgetNames_; }

    // The thumbnail of this cover (JPEG or PNG bytes); empty: "无封面".
    void SetCover(const QByteArray& image);
    bool ShowsCover() const;
    // "选择封面…": a local image instead of the cover of the names.
    QPushButton* ChooseCoverButton() const { return btnChooseCover_; }
    // Takes the image file the user picked: a JPEG or PNG image of at most
    // 16 MiB becomes CoverChosen; anything else is refused with a message.
    // Whether it was taken.
    bool ChooseCoverFile(const QString& path);

signals:
    // The user changed a box and left it (focus moved on or Enter).
    void FieldEdited(sonfeld::app::TAlbumPanel::TField field, const QString& text);
    // The user pressed "忘记此光盘的名称" (not yet confirmed).
    void ForgetRequested();
    // The user picked a local image as the front cover; it is checked.
    void CoverChosen(const sonfeld::app::metadata::TCoverArt& cover);

private:
    QLineEdit* AddEdit(TField field, const char* objectName);

    QLineEdit* edits_[10] = {};
    QLabel* lblSource_ = nullptr;
    QLabel* lblCover_ = nullptr;
    QPushButton* btnForgetNames_ = nullptr;
    QPushButton* btnChooseCover_ = nullptr;
};

} // namespace sonfeld::app
