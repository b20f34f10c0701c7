#pragma once

#include <QString>

#include "sonfeld_version.h"

// The program's own texts, shown exactly as they stand. Kept in one place so
// the window, the rip queue and the command-line mode say the same thing.
namespace sonfeld::app::text {

// Status column of the track list.
inline const QString kNotConverted = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "未转换"));
inline const QString kConverting = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "转换中"));
inline const QString kReading =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "正在读取")); // read ahead of its encoder
inline const QString kConverted = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "完成转换"));
inline const QString kCancelled = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "用户取消"));
inline const QString kFailed = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "转换失败"));
inline const QString kDataTrack = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "数据轨"));
inline const QString kReReading = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "重新读取"));
// A kept file whose audio nothing proved, or whose reads differed.
inline const QString kConvertedUnproven =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "完成 (未证实)"));
inline const QString kConvertedSuspicious =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "完成 (可疑)"));
// The name of track 0, the audio before track 1's INDEX 01 (a file's title: never translated).
inline const QString kHiddenTrackName = QStringLiteral("隐藏音轨");

// Rip queue messages and their captions.
inline const QString kSelectDrive =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "请选择CD所在的驱动器,"));
inline const QString kSelectDriveCaption =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "没有选择驱动器"));
inline const QString kSameNameFound = QStringLiteral(
    QT_TRANSLATE_NOOP("sonfeld", "在输出目录找到同名文件, \r\n请更改输出路径或者更改文件名. \r\n"));
inline const QString kSameNameFoundCaption =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "找到同名的文件"));
inline const QString kReminder = QStringLiteral(
    QT_TRANSLATE_NOOP("sonfeld", "请确定你已经设置了输出目录以及停止了当前CD的播放 "));
inline const QString kReminderCaption = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "提示"));
inline const QString kAllDone = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "转换完成!"));
inline const QString kAllDoneCaption = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "完成"));
inline const QString kNothingToRip =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "没有需要转换的音轨。"));
inline const QString kNothingToRipCaption = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "提示"));
inline const QString kSameFileNameCaption =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "文件名重复"));

// The end of a queue where a track failed or mismatched.
inline const QString kRipEndedCaption = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "转换结束"));
inline const QString kSummaryRipped =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "已转换 %1 首音轨（共 %2 首）。"));
inline const QString kSummaryVerdicts = QStringLiteral(
    QT_TRANSLATE_NOOP("sonfeld", "AccurateRip: %1 首验证准确，%2 首不匹配，%3 首无法校验。"));
inline const QString kSummaryFailed =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "%1 首未能转换:"));
inline const QString kSummaryRetry =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "再次点击“提取CD音乐”会重新转换未能转换的音轨。"));
inline const QString kSummaryMismatch = QStringLiteral(QT_TRANSLATE_NOOP(
    "sonfeld", "不匹配的音轨可能读错了: 请清洁光盘、检查光驱的读取偏移，然后重新转换。"));
inline const QString kSummaryFolder =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "输出文件夹: %1"));
inline const QString kSummaryLog = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "日志: %1"));
inline const QString kOpenFolder = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "打开文件夹"));
inline const QString kOpenLog = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "打开日志"));
inline const QString kCloseButton = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "关闭"));
// A track whose read ended before its end without Stop.
// A disc ripped into one file ("整轨") is refused in a format whose gaps are not sample-exact.
inline const QString kSingleFileFormats = QStringLiteral(QT_TRANSLATE_NOOP(
    "sonfeld", "整轨只能保存为 FLAC、APE 或 WAV 文件：%1 的音轨间隙不能精确到采样。"));
// The log's reading mode of a disc ripped into one file while "快速并校验" is set.
inline const QString kSingleFileSecure =
    QStringLiteral("安全模式（整轨一次读完整张光盘，不能按音轨重读，所以不用快速读取）");
// Ripping into one file takes the whole disc: some audio tracks are not ticked.
inline const QString kSingleFileAllTracks = QStringLiteral(QT_TRANSLATE_NOOP(
    "sonfeld", "整轨把整张光盘存为一个文件：请勾选全部音轨，或在“音乐设定”中把输出方式改为分轨。"));
inline const QString kEndedEarly =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "音轨没有读到结尾。"));

// Closing the main window.
inline const QString kCloseQuestion =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "你是否确定停止转换?"));
inline const QString kCloseCaption = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "关闭应用程序?"));
// Esc during a rip asks the same question first.
inline const QString kStopCaption = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "停止转换"));

// Identity of the program.
inline const QString kProgramName = QStringLiteral("Sonfeld");
inline const QString kVersion = QStringLiteral(SONFELD_PROGRAM_VERSION);
inline const QString kNotice = QStringLiteral(
    QT_TRANSLATE_NOOP("sonfeld", "Sonfeld 音频CD提取工具 · 自由软件 · © Sonfeld 开发者"));
inline const QString kWebAddress = QStringLiteral("https://sonfeld.example.org");
inline const QString kMailAddress = QStringLiteral("support@sonfeld.example.org");

} // namespace sonfeld::app::text
