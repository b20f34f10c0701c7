#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "app/text/message.h"
#include "track_status.h"

// The rows of the track grid `TracksList`: one row per track of the disc. The
// rows are also the rip queue's work list: the queue reads each row's tick,
// name and status and writes its progress and status. A row is identified by
// the number of its track, never by its position.
//
// UI thread only; the output events reach it through the rip queue, which
// hands them to the UI thread first.
namespace sonfeld::app {

enum TTrackColumn {
    tlChk = 0,
    tlTrack = 1,
    tlOutName = 2,
    tlArtist = 3,
    tlTimer = 4,
    tlProg = 5,
    tlStatus = 6,
    tlVerify = 7
};
inline constexpr int kTrackColumnCount = 8;

// What the list builder hands to AddTrackRow. The two reserved number fields
// are carried along for the rows' future use; the track list neither fills
// nor reads them.
struct TTracksRec {
    QString TimeText;
    int LengthFrames = 0; // 75 a second; orders the time column
    bool Data = false;    // a data track: listed, never ticked or ripped
    QString Name{};       // the disc's own name for the track (CD-TEXT); empty for none
    qint32 Reserved1 = 0;
    qint32 Reserved2 = 0;
};

class TTrackListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TTrackListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Stable: ticks as Boolean, track numbers, times and progress as numbers,
    // the rest alphabetically. Selections and current cells stay on their rows.
    void sort(int column, Qt::SortOrder order) override;

    void Clear();
    // Appends a row for the next track: ticked, "Track N", the record's name
    // or else "TrackN", the time text, progress 0, "未转换", where N follows the
    // last row's track (1 for the first); a data track unticked and "数据轨".
    void AddTrackRow(const TTracksRec& record);
    // Before any other row: track 0, the audio hidden before track 1's
    // INDEX 01, named "隐藏音轨", ticked only when asked. Ignored once rows exist.
    void AddHiddenTrackRow(const TTracksRec& record, bool checked);

    // The track a row stands for; 0 for no row.
    int TrackNumberOfRow(int row) const;
    // The row of a track; 0 when no row carries it.
    int RowOfTrack(int track) const;

    bool Checked(int row) const;
    // A data track's row stays unticked.
    void SetChecked(int row, bool value);
    bool IsData(int row) const;
    QString Label(int row) const;
    QString Name(int row) const;
    // The user's name for the row: the disc's names no longer replace it.
    void SetName(int row, const QString& name);
    // The track's own artist; empty when the disc's names give none.
    QString Artist(int row) const;
    void SetArtist(int row, const QString& artist);
    // The track's title from the disc's names; a renamed row keeps its name.
    void SetTitle(int row, const QString& title);
    bool Renamed(int row) const;
    QString TimeText(int row) const;
    // The track's length, 75 frames a second.
    int LengthFrames(int row) const;
    int Progress(int row) const;
    void SetProgress(int row, int value);
    TTrackStatus Status(int row) const;
    QString StatusText(int row) const { return app::StatusText(Status(row)); }
    // Any status but "转换失败" also clears the reason of an earlier failure.
    void SetStatus(int row, TTrackStatus value);
    // "转换失败", with why: the row's tooltip.
    // The row keeps the message and shows it in the window's language; these
    // read it as the program compares, logs and prints it.
    void SetFailed(int row, const TMessage& reason);
    QString FailReason(int row) const;
    // The AccurateRip verdict of the row's last rip; empty until it is known.
    QString Verdict(int row) const;
    void SetVerdict(int row, const TMessage& verdict);

    // While read-only, no cell can be edited (the queue is running).
    void SetReadOnly(bool value);
    bool ReadOnly() const { return readOnly_; }

signals:
    // The user changed a name or an artist in the grid (not raised by
    // SetName/SetArtist), so the edit can be kept over later lookups.
    void NameEdited(int track, const QString& text);
    void ArtistEdited(int track, const QString& text);

private:
    struct Row {
        bool checked = true;
        bool data = false;
        int track = 0;
        int lengthFrames = 0;
        QString name;
        QString artist;
        bool renamed = false;
        QString timeText;
        int progress = 0;
        TTrackStatus status = TTrackStatus::NotConverted;
        TMessage failReason;
        TMessage verdict;
    };

    bool Valid(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }
    void Changed(int row, int column);

    std::vector<Row> rows_;
    bool readOnly_ = false;
};

} // namespace sonfeld::app
