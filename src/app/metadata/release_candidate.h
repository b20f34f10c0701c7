#pragma once

#include "disc_metadata.h"

#include <QString>

namespace sonfeld::app::metadata {

// One release that matches the disc, as the chooser lists it, with the names
// it gives the disc when chosen.
struct TReleaseCandidate {
    QString releaseId;
    QString artist;
    QString title;
    QString date;
    QString country;
    QString label;
    QString catalogNumber;
    QString barcode;
    int trackCount = 0; // of the medium that matches the disc
    bool hasFrontCover = false;
    QString note; // "按时长近似匹配" for a gnudb entry matched by track lengths only
    TDiscMetadata metadata;
};

} // namespace sonfeld::app::metadata
