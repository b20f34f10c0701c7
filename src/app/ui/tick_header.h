#pragma once

#include <QHeaderView>

namespace sonfeld::app {

// A grid's column header with a tick box over the column of row ticks: it
// shows whether all, none or some rows are ticked, and a click ticks every
// row, or unticks them all when all were ticked. Only rows the user may tick
// change. The other sections sort as usual. UI thread.
class TTickHeader final : public QHeaderView {
    Q_OBJECT
public:
    TTickHeader(int tickColumn, QWidget* parent);

    // Checked, Unchecked, or PartiallyChecked when some rows are ticked.
    Qt::CheckState State() const;
    void Toggle();

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void setModel(QAbstractItemModel* model) override;

private:
    bool Tickable(int row) const;
    int tickColumn_;
};

} // namespace sonfeld::app
