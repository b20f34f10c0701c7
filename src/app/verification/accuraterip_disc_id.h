#pragma once

#include <QString>
#include <QtGlobal>

namespace sonfeld::app {

// A disc's AccurateRip identity, computed elsewhere from its table of contents.
struct AccurateRipDiscId {
    int audioTrackCount = 0;
    quint32 id1 = 0;
    quint32 id2 = 0;
    quint32 freedbId = 0;

    bool operator==(const AccurateRipDiscId&) const = default;
};

// "dBAR-003-000003c2-00000d1f-0c000603.bin"
QString AccurateRipFileName(const AccurateRipDiscId& disc);
// "/2/c/3/dBAR-…": the last, second-to-last and third-to-last hex digit of
// id1 name the folders. Appended to the server's base address.
QString AccurateRipFilePath(const AccurateRipDiscId& disc);
// "003-000003c2-00000d1f-0c000603", as logs show it.
QString AccurateRipIdText(const AccurateRipDiscId& disc);

} // namespace sonfeld::app
