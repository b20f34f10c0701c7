#pragma once

#include <QString>

namespace sonfeld::app {

// The text setting holding the AccurateRip database's base address, and its
// value when the user never set one. Database files are fetched from below it.
inline const QString kAccurateRipServerSetting = QStringLiteral("AccurateRipServer");
inline const QString kDefaultAccurateRipServer =
    QStringLiteral("http://www.accuraterip.com/accuraterip");

} // namespace sonfeld::app
