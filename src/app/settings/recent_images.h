#pragma once

#include <QStringList>

// The disc images opened from the window, kept in the settings store so they
// can be offered again after a restart. UI thread.
namespace sonfeld::app {

inline constexpr int kMaxRecentImages = 8;

// The images opened last, newest first; files that no longer exist are left out.
QStringList RecentImages();
// Puts path first (once), keeping at most kMaxRecentImages.
void RememberImage(const QString& path);

} // namespace sonfeld::app
