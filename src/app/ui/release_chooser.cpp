#include "release_chooser.h"
#include "app/text/shown_text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace sonfeld::app {

using metadata::TReleaseCandidate;

TReleaseChooser::TReleaseChooser(const QList<TReleaseCandidate>& candidates, int chosen,
                                 QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReleaseChooser"));
    setWindowTitle(TShownText::tr("选择发行版本"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(TShownText::tr("有多个发行版本与这张光盘相符，请选择一个:"), this));

    const QStringList headers = {TShownText::tr("艺术家"), TShownText::tr("标题"),
                                 TShownText::tr("日期"),   TShownText::tr("国家"),
                                 TShownText::tr("厂牌"),   TShownText::tr("目录号"),
                                 TShownText::tr("条形码"), TShownText::tr("音轨数"),
                                 TShownText::tr("介质"),   TShownText::tr("介质数")};
    list_ = new QTableWidget(static_cast<int>(candidates.size()), static_cast<int>(headers.size()),
                             this);
    list_->setObjectName(QStringLiteral("lstReleases"));
    list_->setHorizontalHeaderLabels(headers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTabKeyNavigation(false);
    list_->verticalHeader()->hide();
    for (int row = 0; row < candidates.size(); ++row) {
        const TReleaseCandidate& release = candidates[row];
        const QStringList cells = {
            release.artist, release.title, release.date, release.country, release.label,
            release.catalogNumber, release.barcode, QString::number(release.trackCount),
            // The disc's own medium and how many the release has:
            // a box set and its single-disc edition look alike otherwise.
            release.metadata.album.media.value, release.metadata.album.discTotal.value};
        for (int column = 0; column < cells.size(); ++column)
            list_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    list_->resizeColumnsToContents();
    list_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(list_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("OK"));
    ok->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(TShownText::tr("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The list passes Enter on to the dialog, whose default button is OK; a
    // double click picks the row as well.
    connect(list_, &QAbstractItemView::doubleClicked, this, &QDialog::accept);
    ok->setEnabled(!candidates.isEmpty());
    layout->addWidget(buttons);

    if (!candidates.isEmpty()) {
        const int start = chosen >= 0 && chosen < candidates.size() ? chosen : 0;
        list_->setCurrentCell(start, 0);
    }
    list_->setFocus();
    resize(820, 260);
}

int TReleaseChooser::ChosenIndex() const
{
    const QModelIndex current = list_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int TReleaseChooser::Choose(const QList<TReleaseCandidate>& candidates, int chosen, QWidget* parent)
{
    TReleaseChooser dialog(candidates, chosen, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.ChosenIndex() : -1;
}

} // namespace sonfeld::app
