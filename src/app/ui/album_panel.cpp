#include "album_panel.h"
#include "app/text/shown_text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonfeld::app {

using metadata::TAlbumMetadata;

TAlbumPanel::TAlbumPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("AlbumPanel"));
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    auto label = [this](const char* text) { return new QLabel(TShownText::tr(text), this); };

    auto* names = new QHBoxLayout;
    names->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "专辑艺术家:")));
    names->addWidget(AddEdit(TField::AlbumArtist, "edtAlbumArtist"), 2);
    names->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "专辑:")));
    names->addWidget(AddEdit(TField::Album, "edtAlbumTitle"), 3);
    btnForgetNames_ = new QPushButton(TShownText::tr("忘记此光盘的名称"), this);
    btnForgetNames_->setObjectName(QStringLiteral("btnForgetNames"));
    btnForgetNames_->setToolTip(TShownText::tr("不再保留为这张光盘保存的名称、修改和所选发行版本"));
    connect(btnForgetNames_, &QPushButton::clicked, this, &TAlbumPanel::ForgetRequested);
    names->addWidget(btnForgetNames_);
    rows->addLayout(names);

    auto* details = new QHBoxLayout;
    details->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "年份:")));
    QLineEdit* year = AddEdit(TField::Year, "edtYear");
    year->setPlaceholderText(QStringLiteral("yyyy"));
    year->setMaximumWidth(90);
    details->addWidget(year);
    details->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "流派:")));
    details->addWidget(AddEdit(TField::Genre, "edtGenre"), 1);
    details->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "碟号:")));
    for (TField field : {TField::DiscNumber, TField::DiscTotal}) {
        QLineEdit* box =
            AddEdit(field, field == TField::DiscNumber ? "edtDiscNumber" : "edtDiscTotal");
        box->setMaximumWidth(36);
        box->setAlignment(Qt::AlignCenter);
        details->addWidget(box);
        if (field == TField::DiscNumber)
            details->addWidget(label("/"));
    }
    details->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "备注:")));
    QLineEdit* comment = AddEdit(TField::Comment, "edtComment");
    comment->setToolTip(TShownText::tr("写入每条音轨的注释标签"));
    details->addWidget(comment, 2);
    details->addSpacing(12);
    lblSource_ = new QLabel(this);
    lblSource_->setObjectName(QStringLiteral("lblSource"));
    lblSource_->setStyleSheet(QStringLiteral("QLabel { color: #44546a; }"));
    details->addWidget(lblSource_, 1, Qt::AlignRight);
    rows->addLayout(details);
}

QLineEdit* TAlbumPanel::AddEdit(TField field, const char* objectName)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(objectName));
    edits_[static_cast<int>(field)] = box;
    // Only the user's typing marks the box modified (setText clears the
    // mark), so filling the panel never reads as an edit.
    connect(box, &QLineEdit::editingFinished, this, [this, box, field] {
        if (!box->isModified())
            return;
        box->setModified(false);
        emit FieldEdited(field, box->text());
    });
    return box;
}

void TAlbumPanel::SetMetadata(const TAlbumMetadata& album)
{
    auto fill = [this](TField field, const QString& text) {
        QLineEdit* box = Edit(field);
        // A lookup that ends while the user is typing in a box leaves that
        // box alone; the typing is reported when the user leaves it.
        if (box->hasFocus() && box->isModified())
            return;
        box->setText(text);
    };
    fill(TField::AlbumArtist, album.albumArtist.value);
    fill(TField::Album, album.album.value);
    // The whole date: a year box holding only the year would drop the month
    // and day at the next edit.
    fill(TField::Year, album.date.value);
    fill(TField::Genre, album.genre.value);
    fill(TField::DiscNumber, album.discNumber.value);
    fill(TField::DiscTotal, album.discTotal.value);
    fill(TField::Comment, album.comment.value);
    const QString source = metadata::SourceText(album.source);
    lblSource_->setText(source.isEmpty() ? QString()
                                         : TShownText::tr("来源：") + ShownMessage(source));
}

QLineEdit* TAlbumPanel::Edit(TField field) const
{
    return edits_[static_cast<int>(field)];
}

QString TAlbumPanel::Text(TField field) const
{
    return Edit(field)->text();
}

QString TAlbumPanel::SourceLine() const
{
    return lblSource_->text();
}

void TAlbumPanel::SetReadOnly(bool value)
{
    for (QLineEdit* box : edits_)
        box->setReadOnly(value);
}

} // namespace sonfeld::app
