#pragma once

#include <QStyledItemDelegate>

namespace sonfeld::app {

// Draws the progress column of the track grid as a solid bar, 0 to 100, with
// its percentage written on it; an empty bar for 0. UI thread.
class TProgressDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The text written on a bar of value percent.
    static QString ProgressText(int value);
};

} // namespace sonfeld::app
