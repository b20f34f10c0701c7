#include "lookup_answers.h"

namespace sonfeld::app::metadata::test {

TDiscKey Disc()
{
    TDiscKey disc;
    disc.musicBrainzDiscId = kDiscId;
    disc.musicBrainzToc = kToc;
    disc.freedbId = QStringLiteral("0c000603");
    disc.freedbOffsets = {150, 160, 620};
    disc.freedbLeadout = 632;
    disc.trackCount = 3;
    return disc;
}

namespace {

// A three-track medium; "discs" lists the ID only when discListed.
QByteArray Medium(int position, bool discListed, const QByteArray& prefix)
{
    const QByteArray discs =
        discListed
            ? R"([{"id":"FiuY5Av_gk_xDo5F4mUh8h3j9Aw-","sectors":632,"offset-count":3,"offsets":[150,160,620]}])"
            : R"([{"id":"OtherDisc0000000000000000000-","sectors":900,"offset-count":3,"offsets":[150,300,600]}])";
    return R"({"position":)" + QByteArray::number(position) +
           R"(,"format":"CD","track-count":3,"discs":)" + discs + R"(,"tracks":[
  {"id":"20000000-0000-4000-8000-)" +
           prefix + R"(01","number":"1","position":1,"title":"低潮 )" + prefix + R"(","length":133,
   "recording":{"id":"30000000-0000-4000-8000-)" +
           prefix + R"(01","title":"低潮","isrcs":["XXZZZ0100001"]},
   "artist-credit":[{"name":"北方的艾达","joinphrase":"","artist":{"id":"40000000-0000-4000-8000-00000000000a","name":"北方的艾达"}}]},
  {"id":"20000000-0000-4000-8000-)" +
           prefix + R"(02","number":"2","position":2,"title":"港の灯り","length":6133,
   "recording":{"id":"30000000-0000-4000-8000-)" +
           prefix + R"(02","title":"港の灯り","isrcs":[]},
   "artist-credit":[{"name":"Zoë Ñandú","joinphrase":" feat. ","artist":{"id":"40000000-0000-4000-8000-00000000000b","name":"Zoë Ñandú"}},
                    {"name":"潮汐","joinphrase":"","artist":{"id":"40000000-0000-4000-8000-00000000000c","name":"潮汐"}}]},
  {"id":"20000000-0000-4000-8000-)" +
           prefix + R"(03","number":"3","position":3,"title":"Café Flood","length":160,
   "recording":{"id":"30000000-0000-4000-8000-)" +
           prefix + R"(03","title":"Café Flood"}}]})";
}

// bare: no date, country, barcode, label or catalogue number.
QByteArray Release(const QString& id, const QByteArray& title, const QByteArray& media,
                   bool bare = false)
{
    return R"({"id":")" + id.toUtf8() + R"(","title":")" + title +
           (bare ? QByteArray(R"(",)")
                 : QByteArray(
                       R"(","date":"2001-02-03","country":"JP","barcode":"4900000000017",)")) +
           R"(
  "artist-credit":[{"name":"北方的艾达","joinphrase":" & ","artist":{"id":"40000000-0000-4000-8000-00000000000a","name":"北方的艾达"}},
                   {"name":"潮汐","joinphrase":"","artist":{"id":"40000000-0000-4000-8000-00000000000c","name":"潮汐"}}],
  "label-info":)" +
           (bare
                ? QByteArray("[],")
                : QByteArray(
                      R"([{"catalog-number":null,"label":null},{"catalog-number":"TIDE-001","label":{"id":"50000000-0000-4000-8000-000000000001","name":"码头唱片"}}],)")) +
           R"(
  "release-group":{"id":"60000000-0000-4000-8000-000000000001","title":"海港之光","primary-type":"Album"},
  "cover-art-archive":{"artwork":true,"front":true,"back":false,"count":1},
  "media":[)" +
           media + "]}";
}

} // namespace

QByteArray OneReleaseJson()
{
    return R"({"id":"FiuY5Av_gk_xDo5F4mUh8h3j9Aw-","sectors":632,"offset-count":3,"offsets":[150,160,620],"releases":[)" +
           Release(kReleaseA, "海港之光", Medium(1, true, "a1")) + "]}";
}

QByteArray TwoReleasesJson()
{
    return R"({"id":"FiuY5Av_gk_xDo5F4mUh8h3j9Aw-","sectors":632,"offset-count":3,"offsets":[150,160,620],"releases":[)" +
           Release(kReleaseA, "海港之光", Medium(1, false, "a1") + "," + Medium(2, true, "a2")) +
           "," + Release(kReleaseB, "海港之光 (再发行)", Medium(1, true, "b1")) + "]}";
}

QByteArray FullAndBareReleasesJson()
{
    return R"({"id":"FiuY5Av_gk_xDo5F4mUh8h3j9Aw-","sectors":632,"offset-count":3,"offsets":[150,160,620],"releases":[)" +
           Release(kReleaseA, "海港之光", Medium(1, true, "a1")) + "," +
           Release(kReleaseB, "海港之光 (再发行)", Medium(1, true, "b1"), true) + "]}";
}

QByteArray DurationMatchJson()
{
    return R"({"release-count":1,"release-offset":0,"releases":[)" +
           Release(kReleaseB, "海港之光 (再发行)",
                   R"({"position":1,"format":"CD","track-count":2,"tracks":[]},)" +
                       Medium(2, false, "b2")) +
           "]}";
}

QByteArray GnudbQueryFound()
{
    return "200 misc 0c000603 北方的艾达 & 潮汐 / 海港之光\r\n";
}

QByteArray GnudbEntry()
{
    return "210 misc 0c000603 entry follows\r\n"
           "# xmcd\r\n"
           "#\r\n"
           "# Track frame offsets:\r\n"
           "#\t150\r\n#\t160\r\n#\t620\r\n"
           "#\r\n# Disc length: 8 seconds\r\n#\r\n# Revision: 2\r\n#\r\n"
           "DISCID=0c000603\r\n"
           "DTITLE=北方的艾达 & 潮汐 / 海港之光\r\n"
           "DYEAR=2001\r\n"
           "DGENRE=Ambient\r\n"
           "TTITLE0=低潮\r\n"
           "TTITLE1=港の灯り (a title long enough\r\n"
           "TTITLE1= to need a second line)\r\n"
           "TTITLE2=Café\\tFlood\r\n"
           "EXTD=Recorded by the sea.\\nSecond line\r\n"
           "EXTT0=\r\nEXTT1=\r\nEXTT2=\r\n"
           "PLAYORDER=\r\n"
           ".\r\n";
}

} // namespace sonfeld::app::metadata::test
