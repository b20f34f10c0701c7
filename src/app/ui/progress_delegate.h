#pragma once

#include <QStyledItemDelegate>

namespace sonfeld::app {

// Draws the progress column of the track grid as a solid bar, 0 to 100; an
// empty bar for 0. UI thread.
class TProgressDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace sonfeld::app
