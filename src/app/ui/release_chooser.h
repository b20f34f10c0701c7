#pragma once

#include <QDialog>
#include <QList>

#include "app/metadata/release_candidate.h"

class QTableWidget;

namespace sonfeld::app {

// Lets the user pick one of several releases that match the disc: one row
// each with artist, title, date, country, label, catalogue number, barcode,
// track count, the medium's format and the number of media. Enter or a double click picks the
// current row. UI thread.
class TReleaseChooser final : public QDialog {
    Q_OBJECT
public:
    // chosen: the row selected when the dialog opens (the first when out of range).
    TReleaseChooser(const QList<metadata::TReleaseCandidate>& candidates, int chosen,
                    QWidget* parent = nullptr);

    // The candidate of the current row; -1 when there is none.
    int ChosenIndex() const;
    QTableWidget* List() const { return list_; }

    // Runs the dialog modally: the index picked, or -1 when cancelled.
    static int Choose(const QList<metadata::TReleaseCandidate>& candidates, int chosen,
                      QWidget* parent);

private:
    QTableWidget* list_ = nullptr;
};

} // namespace sonfeld::app
