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
};

QString StatusText(TTrackStatus status);

} // namespace sonfeld::app
