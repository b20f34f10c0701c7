#include "progress_delegate.h"

#include <QPainter>

namespace sonfeld::app {

QString TProgressDelegate::ProgressText(int value)
{
    return QStringLiteral("%1%").arg(value);
}

void TProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    const int value = std::clamp(index.data(Qt::DisplayRole).toInt(), 0, 100);
    painter->save();
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, option.palette.highlight());
    const QRect frame = option.rect.adjusted(2, 3, -3, -4);
    painter->setPen(QColor(0x7a, 0x9c, 0xc8));
    painter->setBrush(Qt::white);
    painter->drawRect(frame);
    if (value > 0) {
        QRect bar = frame.adjusted(1, 1, 0, 0);
        bar.setWidth(bar.width() * value / 100);
        painter->fillRect(bar, QColor(0x2c, 0x6f, 0xc9));
        // Readable on the bar and on the white beside it.
        painter->setPen(value >= 50 ? Qt::white : QColor(0x1a, 0x1a, 0x1a));
        painter->drawText(frame, Qt::AlignCenter, ProgressText(value));
    }
    painter->restore();
}

} // namespace sonfeld::app
