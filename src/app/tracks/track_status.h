#pragma once

#include <QString>

namespace sonfeld::app {

// Where a row of the rip queue stands. The rows keep this; the grid and the
// command line show its text.
enum class TTrackStatus {
    NotConverted, // "未转换": waiting to be ripped when ticked
    Reading,      // "正在读取": the drive reads it while its encoder follows
    Converting,   // "转换中"
    Converted,    // "完成转换"
    Cancelled,    // "用户取消"
    Failed,       // "转换失败"
    DataTrack,    // "数据轨": never ripped
    ReReading,    // "重新读取": a fast read AccurateRip did not confirm is read again securely
    // Its file is kept, but nothing proved the audio: no database, no two
    // reads that agree ("完成 (未证实)"), or reads that differed ("完成 (可疑)").
    ConvertedUnproven,
    ConvertedSuspicious,
};

QString StatusText(TTrackStatus status);
// The track ended with its file kept: proven or not.
bool Finished(TTrackStatus status);

} // namespace sonfeld::app
