#include "track_list_model.h"

#include <algorithm>
#include <numeric>

#include "app/text/shown_text.h"
#include "app/text/texts.h"

namespace sonfeld::app {

namespace {

QString LabelOf(int track)
{
    return QStringLiteral("Track ") + QString::number(track);
}

} // namespace

TTrackListModel::TTrackListModel(QObject* parent) : QAbstractTableModel(parent)
{
}

int TTrackListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TTrackListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kTrackColumnCount;
}

QVariant TTrackListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !Valid(index.row()))
        return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    if (index.column() == tlChk) {
        if (role == Qt::CheckStateRole)
            return row.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::ToolTipRole)
        return row.failReason.IsEmpty() ? QVariant() : QVariant(row.failReason.Shown());
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case tlTrack: return LabelOf(row.track);
    case tlOutName: return row.name;
    case tlArtist: return row.artist;
    case tlTimer: return row.timeText;
    case tlProg: return row.progress;
    // Shown in the window's language; the edit role keeps the text the rip
    // work compares.
    case tlStatus:
        return role == Qt::DisplayRole ? Shown(app::StatusText(row.status))
                                       : app::StatusText(row.status);
    case tlVerify: return role == Qt::DisplayRole ? row.verdict.Shown() : row.verdict.Chinese();
    default: return {};
    }
}

bool TTrackListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !Valid(index.row()) || readOnly_)
        return false;
    if (index.column() == tlChk && role == Qt::CheckStateRole) {
        if (IsData(index.row()))
            return false;
        SetChecked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    // An editor closed without a change is no edit: marking the text as the
    // user's would keep it from every later lookup.
    const int track = TrackNumberOfRow(index.row());
    const QString text = value.toString();
    if (index.column() == tlOutName) {
        if (text != Name(index.row())) {
            SetName(index.row(), text);
            emit NameEdited(track, text);
        }
        return true;
    }
    if (index.column() == tlArtist) {
        if (text != Artist(index.row())) {
            SetArtist(index.row(), text);
            emit ArtistEdited(track, text);
        }
        return true;
    }
    return false;
}

QVariant TTrackListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case tlTrack: return TShownText::tr("音轨");
    case tlOutName: return TShownText::tr("名称");
    case tlArtist: return TShownText::tr("艺术家");
    case tlTimer: return TShownText::tr("时间");
    case tlProg: return TShownText::tr("转换进度");
    case tlStatus: return TShownText::tr("状态");
    case tlVerify: return TShownText::tr("校验");
    default: return QString();
    }
}

Qt::ItemFlags TTrackListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (!index.isValid() || readOnly_)
        return result;
    if (index.column() == tlChk && !IsData(index.row()))
        result |= Qt::ItemIsUserCheckable;
    if (index.column() == tlOutName || index.column() == tlArtist)
        result |= Qt::ItemIsEditable;
    return result;
}

void TTrackListModel::sort(int column, Qt::SortOrder sortOrder)
{
    if (column < 0 || column >= kTrackColumnCount)
        return;
    auto less = [column](const Row& a, const Row& b) {
        switch (column) {
        case tlChk: return a.checked < b.checked;
        case tlTrack: return a.track < b.track;
        case tlOutName: return a.name < b.name;
        case tlArtist: return a.artist < b.artist;
        case tlTimer: return a.lengthFrames < b.lengthFrames;
        case tlProg: return a.progress < b.progress;
        case tlVerify: return a.verdict.Chinese() < b.verdict.Chinese();
        default: return app::StatusText(a.status) < app::StatusText(b.status);
        }
    };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    auto rowLess = [&](int a, int b) {
        const Row& x = rows_[static_cast<std::size_t>(a)];
        const Row& y = rows_[static_cast<std::size_t>(b)];
        return sortOrder == Qt::AscendingOrder ? less(x, y) : less(y, x);
    };
    std::stable_sort(order.begin(), order.end(), rowLess);
    std::vector<Row> sorted;
    std::vector<int> newRowOf(rows_.size());
    for (std::size_t to = 0; to < order.size(); ++to) {
        sorted.push_back(std::move(rows_[static_cast<std::size_t>(order[to])]));
        newRowOf[static_cast<std::size_t>(order[to])] = static_cast<int>(to);
    }
    rows_ = std::move(sorted);
    // The views' selection and current cell follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& old : before)
        after << index(newRowOf[static_cast<std::size_t>(old.row())], old.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TTrackListModel::Clear()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void TTrackListModel::AddTrackRow(const TTracksRec& record)
{
    // Numbered after the last row: a hidden track's row 0 comes before track 1.
    const int number = rows_.empty() ? 1 : rows_.back().track + 1;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    Row row;
    row.checked = !record.Data;
    row.data = record.Data;
    row.track = number;
    row.lengthFrames = record.LengthFrames;
    if (record.Data)
        row.status = TTrackStatus::DataTrack;
    row.name =
        record.Name.isEmpty() ? QStringLiteral("Track") + QString::number(number) : record.Name;
    row.timeText = record.TimeText;
    row.progress = 0;
    rows_.push_back(std::move(row));
    endInsertRows();
}

void TTrackListModel::AddHiddenTrackRow(const TTracksRec& record, bool checked)
{
    if (!rows_.empty())
        return;
    beginInsertRows({}, 0, 0);
    Row row;
    row.checked = checked;
    row.track = 0;
    row.lengthFrames = record.LengthFrames;
    row.name = text::kHiddenTrackName;
    row.timeText = record.TimeText;
    rows_.push_back(std::move(row));
    endInsertRows();
}

int TTrackListModel::TrackNumberOfRow(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].track : 0;
}

int TTrackListModel::RowOfTrack(int track) const
{
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
        if (rows_[static_cast<std::size_t>(row)].track == track)
            return row;
    }
    return 0;
}

bool TTrackListModel::Checked(int row) const
{
    return Valid(row) && rows_[static_cast<std::size_t>(row)].checked;
}

bool TTrackListModel::IsData(int row) const
{
    return Valid(row) && rows_[static_cast<std::size_t>(row)].data;
}

void TTrackListModel::SetChecked(int row, bool value)
{
    if (!Valid(row) || (value && IsData(row)))
        return;
    rows_[static_cast<std::size_t>(row)].checked = value;
    Changed(row, tlChk);
}

QString TTrackListModel::Label(int row) const
{
    return Valid(row) ? LabelOf(rows_[static_cast<std::size_t>(row)].track) : QString();
}

QString TTrackListModel::Name(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].name : QString();
}

void TTrackListModel::SetName(int row, const QString& name)
{
    if (!Valid(row))
        return;
    rows_[static_cast<std::size_t>(row)].name = name;
    rows_[static_cast<std::size_t>(row)].renamed = true;
    Changed(row, tlOutName);
}

QString TTrackListModel::Artist(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].artist : QString();
}

void TTrackListModel::SetArtist(int row, const QString& artist)
{
    if (!Valid(row))
        return;
    rows_[static_cast<std::size_t>(row)].artist = artist;
    Changed(row, tlArtist);
}

void TTrackListModel::SetTitle(int row, const QString& title)
{
    if (!Valid(row) || rows_[static_cast<std::size_t>(row)].renamed ||
        rows_[static_cast<std::size_t>(row)].name == title)
        return;
    rows_[static_cast<std::size_t>(row)].name = title;
    Changed(row, tlOutName);
}

bool TTrackListModel::Renamed(int row) const
{
    return Valid(row) && rows_[static_cast<std::size_t>(row)].renamed;
}

QString TTrackListModel::TimeText(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].timeText : QString();
}

int TTrackListModel::LengthFrames(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].lengthFrames : 0;
}

int TTrackListModel::Progress(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].progress : 0;
}

void TTrackListModel::SetProgress(int row, int value)
{
    if (!Valid(row))
        return;
    rows_[static_cast<std::size_t>(row)].progress = value;
    Changed(row, tlProg);
}

TTrackStatus TTrackListModel::Status(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].status : TTrackStatus::NotConverted;
}

void TTrackListModel::SetStatus(int row, TTrackStatus value)
{
    if (!Valid(row))
        return;
    rows_[static_cast<std::size_t>(row)].status = value;
    if (value != TTrackStatus::Failed)
        rows_[static_cast<std::size_t>(row)].failReason = {};
    Changed(row, tlStatus);
}

void TTrackListModel::SetFailed(int row, const TMessage& reason)
{
    if (!Valid(row))
        return;
    rows_[static_cast<std::size_t>(row)].failReason = reason;
    SetStatus(row, TTrackStatus::Failed);
    // The tooltip stands on every cell of the row.
    emit dataChanged(index(row, 0), index(row, kTrackColumnCount - 1), {Qt::ToolTipRole});
}

QString TTrackListModel::FailReason(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].failReason.Chinese() : QString();
}

QString TTrackListModel::Verdict(int row) const
{
    return Valid(row) ? rows_[static_cast<std::size_t>(row)].verdict.Chinese() : QString();
}

void TTrackListModel::SetVerdict(int row, const TMessage& verdict)
{
    if (!Valid(row))
        return;
    rows_[static_cast<std::size_t>(row)].verdict = verdict;
    Changed(row, tlVerify);
}

void TTrackListModel::SetReadOnly(bool value)
{
    if (readOnly_ == value)
        return;
    readOnly_ = value;
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, kTrackColumnCount - 1));
}

void TTrackListModel::Changed(int row, int column)
{
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell);
}

} // namespace sonfeld::app
