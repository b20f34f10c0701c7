#include "recent_images.h"

#include <QFileInfo>

#include "setting_keys.h"

namespace sonfeld::app {

namespace {

// One path a line: a line break in a file name is too rare to spoil the list for.
const QChar kSeparator = QLatin1Char('\n');

QStringList StoredImages()
{
    return Read(key::kRecentImages).split(kSeparator, Qt::SkipEmptyParts);
}

} // namespace

QStringList RecentImages()
{
    QStringList existing;
    for (const QString& path : StoredImages()) {
        if (QFileInfo(path).isFile() && !existing.contains(path))
            existing << path;
    }
    return existing.mid(0, kMaxRecentImages);
}

void RememberImage(const QString& path)
{
    QStringList images = RecentImages();
    images.removeAll(path);
    images.prepend(path);
    Write(key::kRecentImages, images.mid(0, kMaxRecentImages).join(kSeparator));
}

} // namespace sonfeld::app
