#pragma once

#include <QString>

// The window's own texts for images, eject, keyboard and rip progress.
namespace sonfeld::app::text {

inline const QString kNoDrive = QStringLiteral("未找到光驱 — 可打开光盘镜像");
inline const QString kNoDriveCaption = QStringLiteral("没有选择驱动器");
inline const QString kOpenImage = QStringLiteral("打开镜像…");
inline const QString kOpenImageTitle = QStringLiteral("打开光盘镜像");
inline const QString kRecentImages = QStringLiteral("最近打开的镜像");
inline const QString kNoRecentImages = QStringLiteral("(无)");
inline const QString kNotAnImage =
    QStringLiteral("无法打开“%1”：只能打开 CUE、TOC 或 NRG 光盘镜像。");
inline const QString kNotAnImageCaption = QStringLiteral("不支持的文件");
inline const QString kBusyForImage = QStringLiteral("正在提取，结束后才能打开镜像。");
inline const QString kEject = QStringLiteral("弹出");
inline const QString kRipEndedAll = QStringLiteral("提取完成：%1 首音轨全部完成。");
inline const QString kRipEndedSome = QStringLiteral("提取结束：完成 %1/%2 首音轨。");

} // namespace sonfeld::app::text
