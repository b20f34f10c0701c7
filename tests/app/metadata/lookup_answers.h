#pragma once

#include "app/metadata/disc_key.h"

#include <QByteArray>

// Answers written for the tests in the services' formats, for one small disc
// of three tracks (absolute offsets 150, 160, 620, lead-out 632).
namespace sonfeld::app::metadata::test {

inline const QString kDiscId = QStringLiteral("FiuY5Av_gk_xDo5F4mUh8h3j9Aw-");
inline const QString kToc = QStringLiteral("1 3 632 150 160 620");
inline const QString kReleaseA = QStringLiteral("10000000-0000-4000-8000-00000000000a");
inline const QString kReleaseB = QStringLiteral("10000000-0000-4000-8000-00000000000b");

TDiscKey Disc();

// A whole 1×1 PNG image, as the cover server would send one.
inline const QByteArray
    kPng("\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00"
         "\x00\x01\x08\x02\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63"
         "\xf8\xcf\xc0\x00\x00\x03\x01\x01\x00\xc9\xfe\x92\xef\x00\x00\x00\x00\x49\x45\x4e\x44\xae"
         "\x42\x60\x82",
         67);

// One release, one medium holding the disc; Chinese, Japanese and accented names.
QByteArray OneReleaseJson();
// Two releases: A is a two-disc set whose second medium is this disc, B a
// single disc.
QByteArray TwoReleasesJson();
// Two single-disc releases: A as in OneReleaseJson, B without date, country,
// barcode, label or catalogue number.
QByteArray FullAndBareReleasesJson();
// The answer to a TOC lookup: found by durations, no disc IDs listed.
QByteArray DurationMatchJson();

// gnudb: the query answer and the entry for the disc.
QByteArray GnudbQueryFound();
QByteArray GnudbEntry();

} // namespace sonfeld::app::metadata::test
