#pragma once

#include <QWidget>

#include "app/metadata/disc_metadata.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace sonfeld::app {

// The album's names above the track grid: album artist, album, year, genre,
// disc n / N, the user's comment, and where the names came from. It shows what it is given and
// reports what the user types; it keeps no names of its own. UI thread.
class TAlbumPanel final : public QWidget {
    Q_OBJECT
public:
    // Year is the box "年份", which holds the album's whole date.
    enum class TField { AlbumArtist, Album, Year, Genre, DiscNumber, DiscTotal, Comment };
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

signals:
    // The user changed a box and left it (focus moved on or Enter).
    void FieldEdited(sonfeld::app::TAlbumPanel::TField field, const QString& text);
    // The user pressed "忘记此光盘的名称" (not yet confirmed).
    void ForgetRequested();

private:
    QLineEdit* AddEdit(TField field, const char* objectName);

    QLineEdit* edits_[7] = {};
    QLabel* lblSource_ = nullptr;
    QPushButton* btnForgetNames_ = nullptr;
};

} // namespace sonfeld::app
