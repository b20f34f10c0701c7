#pragma once

#include <QString>

// The window's own texts for images, eject, keyboard and rip progress.
namespace sonfeld::app::text {

inline const QString kNoDrive =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "未找到光驱 — 可打开光盘镜像"));
inline const QString kNoDriveCaption =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "没有选择驱动器"));
inline const QString kOpenImage = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "打开镜像…"));
inline const QString kOpenImageTitle = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "打开光盘镜像"));
inline const QString kRecentImages = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "最近打开的镜像"));
inline const QString kNoRecentImages = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "(无)"));
inline const QString kNotAnImage = QStringLiteral(
    QT_TRANSLATE_NOOP("sonfeld", "无法打开“%1”：只能打开 CUE、TOC 或 NRG 光盘镜像，"
                                 "或带 CUE 表的 FLAC、APE、WavPack、TTA、ALAC 整轨文件。"));
inline const QString kSheetEncodingTitle =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "CUE 表的文字编码"));
inline const QString kSheetEncodingPrompt = QStringLiteral(
    QT_TRANSLATE_NOOP("sonfeld", "无法确定“%1”的文字编码，请选择文字显示正确的一项："));
inline const QString kNotAnImageCaption =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "不支持的文件"));
inline const QString kBusyForImage =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "正在提取，结束后才能打开镜像。"));
inline const QString kEject = QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "弹出"));
inline const QString kRipEndedAll =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "提取完成：%1 首音轨全部完成。"));
inline const QString kRipEndedSome =
    QStringLiteral(QT_TRANSLATE_NOOP("sonfeld", "提取结束：完成 %1/%2 首音轨。"));

} // namespace sonfeld::app::text
