#include "tick_header.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace sonfeld::app {

TTickHeader::TTickHeader(int tickColumn, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), tickColumn_(tickColumn)
{
    setSectionsClickable(true);
}

void TTickHeader::setModel(QAbstractItemModel* model)
{
    QHeaderView::setModel(model);
    if (model == nullptr)
        return;
    // The box follows the rows' ticks however they change.
    auto repaint = [this] { viewport()->update(); };
    connect(model, &QAbstractItemModel::dataChanged, this, repaint);
    connect(model, &QAbstractItemModel::rowsInserted, this, repaint);
    connect(model, &QAbstractItemModel::rowsRemoved, this, repaint);
    connect(model, &QAbstractItemModel::modelReset, this, repaint);
}

bool TTickHeader::Tickable(int row) const
{
    return (model()->flags(model()->index(row, tickColumn_)) & Qt::ItemIsUserCheckable) != 0;
}

Qt::CheckState TTickHeader::State() const
{
    int ticked = 0;
    int tickable = 0;
    for (int row = 0; model() != nullptr && row < model()->rowCount(); ++row) {
        if (!Tickable(row))
            continue;
        ++tickable;
        ticked += model()->index(row, tickColumn_).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    if (ticked == 0)
        return Qt::Unchecked;
    return ticked == tickable ? Qt::Checked : Qt::PartiallyChecked;
}

void TTickHeader::Toggle()
{
    if (model() == nullptr)
        return;
    const Qt::CheckState to = State() == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    for (int row = 0; row < model()->rowCount(); ++row) {
        if (Tickable(row))
            model()->setData(model()->index(row, tickColumn_), to, Qt::CheckStateRole);
    }
}

void TTickHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    // The section leaves the painter changed; the box is drawn on a clean one.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex != tickColumn_)
        return;
    QStyleOptionButton box;
    const QSize size(style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this),
                     style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this));
    box.rect = QRect(rect.center() - QPoint(size.width() / 2, size.height() / 2), size);
    box.state = QStyle::State_Enabled;
    switch (State()) {
    case Qt::Checked: box.state |= QStyle::State_On; break;
    case Qt::PartiallyChecked: box.state |= QStyle::State_NoChange; break;
    case Qt::Unchecked: box.state |= QStyle::State_Off; break;
    }
    painter->save();
    // Without the widget: the application's style sheet has no rule for a
    // box in a header and would draw nothing; the plain style draws it.
    box.palette = palette();
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, nullptr);
    painter->restore();
}

void TTickHeader::mousePressEvent(QMouseEvent* event)
{
    // The tick column's header ticks; it does not sort.
    if (logicalIndexAt(event->position().toPoint()) == tickColumn_) {
        event->accept();
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void TTickHeader::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton &&
        logicalIndexAt(event->position().toPoint()) == tickColumn_) {
        Toggle();
        event->accept();
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
}

} // namespace sonfeld::app
