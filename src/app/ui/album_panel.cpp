#include "album_panel.h"
#include "app/text/shown_text.h"
#include "message_box.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonfeld::app {

using metadata::TAlbumMetadata;

namespace {

constexpr int kThumbnailSize = 72;
// As large as a cover may be: a FLAC picture block holds 16 MiB at most.
constexpr qint64 kMaxCoverBytes = 16 * 1024 * 1024;

} // namespace

TAlbumPanel::TAlbumPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("AlbumPanel"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* coverColumn = new QVBoxLayout;
    lblCover_ = new QLabel(this);
    lblCover_->setObjectName(QStringLiteral("lblCover"));
    lblCover_->setFixedSize(kThumbnailSize, kThumbnailSize);
    lblCover_->setAlignment(Qt::AlignCenter);
    lblCover_->setFrameShape(QFrame::StyledPanel);
    coverColumn->addWidget(lblCover_, 0, Qt::AlignHCenter);
    btnChooseCover_ = new QPushButton(TShownText::tr("选择封面…"), this);
    btnChooseCover_->setObjectName(QStringLiteral("btnChooseCover"));
    btnChooseCover_->setToolTip(TShownText::tr("用本地的 JPEG 或 PNG 图像作为封面"));
    connect(btnChooseCover_, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, TShownText::tr("选择封面"), QString(),
                                         TShownText::tr("图像 (*.jpg *.jpeg *.png)"));
        if (!path.isEmpty())
            ChooseCoverFile(path);
    });
    coverColumn->addWidget(btnChooseCover_);
    coverColumn->addStretch(1);
    outer->addLayout(coverColumn);
    auto* rows = new QVBoxLayout;
    outer->addLayout(rows, 1);
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

    auto* release = new QHBoxLayout;
    release->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "厂牌:")));
    release->addWidget(AddEdit(TField::Label, "edtLabel"), 2);
    release->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "目录号:")));
    release->addWidget(AddEdit(TField::CatalogNumber, "edtCatalogNumber"), 1);
    release->addWidget(label(QT_TRANSLATE_NOOP("sonfeld", "条形码:")));
    release->addWidget(AddEdit(TField::Barcode, "edtBarcode"), 1);
    rows->addLayout(release);
    SetCover({});
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
    fill(TField::Label, album.label.value);
    fill(TField::CatalogNumber, album.catalogNumber.value);
    fill(TField::Barcode, album.barcode.value);
    const QString source = metadata::SourceText(album.source);
    lblSource_->setText(source.isEmpty() ? QString() : TShownText::tr("来源：") + Shown(source));
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
    // The rip embeds the cover it started with.
    btnChooseCover_->setEnabled(!value);
}

void TAlbumPanel::SetCover(const QByteArray& image)
{
    QPixmap pixmap;
    if (!image.isEmpty() && pixmap.loadFromData(image)) {
        lblCover_->setPixmap(pixmap.scaled(kThumbnailSize - 4, kThumbnailSize - 4,
                                           Qt::KeepAspectRatio, Qt::SmoothTransformation));
        lblCover_->setToolTip(
            TShownText::tr("封面 %1 × %2").arg(pixmap.width()).arg(pixmap.height()));
        return;
    }
    lblCover_->setPixmap({});
    lblCover_->setText(TShownText::tr("无封面"));
    lblCover_->setToolTip({});
}

bool TAlbumPanel::ShowsCover() const
{
    return !lblCover_->pixmap().isNull();
}

bool TAlbumPanel::ChooseCoverFile(const QString& path)
{
    auto refuse = [this](const QString& text) {
        ShowMessageBox({this, QMessageBox::Warning, TShownText::tr("选择封面"), text});
        return false;
    };
    const QFileInfo info(path);
    const QString name = info.fileName();
    // The size is checked first: a huge file is never read.
    if (info.isFile() && info.size() > kMaxCoverBytes)
        return refuse(TShownText::tr("“%1”大于 16 MiB，不能作为封面。").arg(name));
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return refuse(TShownText::tr("无法读取“%1”。").arg(name));
    const QByteArray bytes = file.read(kMaxCoverBytes + 1);
    if (bytes.size() > kMaxCoverBytes)
        return refuse(TShownText::tr("“%1”大于 16 MiB，不能作为封面。").arg(name));
    // The first bytes say JPEG or PNG; decoding it proves the rest is an image too.
    const QString mimeType = metadata::ImageMimeType(bytes);
    QImage image;
    if (mimeType.isEmpty() || !image.loadFromData(bytes))
        return refuse(TShownText::tr("“%1”不是 JPEG 或 PNG 图像，不能作为封面。").arg(name));
    metadata::TCoverArt cover;
    cover.status = metadata::TCoverArt::TStatus::Found;
    cover.data = bytes;
    cover.mimeType = mimeType;
    SetCover(bytes);
    emit CoverChosen(cover);
    return true;
}

} // namespace sonfeld::app
