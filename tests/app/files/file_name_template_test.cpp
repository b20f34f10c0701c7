#include "app/files/file_name_template.h"

#include <gtest/gtest.h>

namespace sonfeld::app::metadata {
namespace {

TTemplateFields Track()
{
    TTemplateFields fields;
    fields.albumArtist = QStringLiteral("北方的艾达");
    fields.album = QStringLiteral("港の灯り");
    fields.year = QStringLiteral("2001");
    fields.discNumber = 2;
    fields.discTotal = 2;
    fields.trackNumber = 3;
    fields.trackTotal = 12;
    fields.title = QStringLiteral("Café Flood");
    fields.artist = QStringLiteral("Zoë");
    return fields;
}

QString Path(const QString& pattern, const TTemplateFields& fields,
             TNameRules rules = kPortableNames)
{
    const TTemplateResult result = ApplyFileNameTemplate(pattern, fields, rules);
    EXPECT_TRUE(result.error.IsEmpty()) << result.error.Chinese().toStdString();
    return result.path;
}

TEST(FileNameTemplateTest, FieldsPaddingAndSubFolders)
{
    EXPECT_EQ(Path(kDefaultFileNameTemplate, Track()), QStringLiteral("Café Flood"));
    EXPECT_EQ(
        Path(QStringLiteral("{albumartist}/{year} - {album}/{disc}-{track:02} {artist} - {title}"),
             Track()),
        QStringLiteral("北方的艾达/2001 - 港の灯り/2-03 Zoë - Café Flood"));
    EXPECT_EQ(
        Path(QStringLiteral("{track:3} of {tracktotal} ({disc}／{disctotal}) {{x}}"), Track()),
        QStringLiteral("003 of 12 (2／2) {x}"));
    EXPECT_EQ(Path(QStringLiteral("{TITLE}"), Track()), QStringLiteral("Café Flood"));
}

TEST(FileNameTemplateTest, NamesArePortableTheSameWayInEveryField)
{
    TTemplateFields fields = Track();
    fields.album = QStringLiteral("AC/DC: Live?");
    fields.title = QStringLiteral("a\tb") + QChar(u'\0') + QStringLiteral("c*<>|\"\\") +
                   QChar(u'\u009b') + QStringLiteral("31m.");
    // Whatever FAT, NTFS and SMB refuse becomes "_", on every platform, in the
    // fields and in the template's own text alike, and so do controls.
    EXPECT_EQ(Path(QStringLiteral("{album}/{title}?"), fields),
              QStringLiteral("AC_DC_ Live_/a_b_c_______31m._"));
    EXPECT_EQ(Path(QStringLiteral("{album}/{title}"), fields),
              QStringLiteral("AC_DC_ Live_/a_b_c_______31m"));
    // No folder can climb out, end in a dot or blank, or be a device.
    fields.album = QStringLiteral("..");
    fields.albumArtist = QStringLiteral("Vol. 2. ");
    fields.title = QStringLiteral("con");
    EXPECT_EQ(Path(QStringLiteral("{albumartist}/{album}/{title}"), fields),
              QStringLiteral("Vol. 2/_/con_"));
    EXPECT_EQ(PortableName(QStringLiteral("nul.tar")), QStringLiteral("nul_.tar"));
    EXPECT_EQ(PortableName(QStringLiteral("  ")), QString());
}

TEST(FileNameTemplateTest, EmptyFieldsLeaveNoBracketsDashesOrFolders)
{
    TTemplateFields fields = Track();
    const QString albums =
        QStringLiteral("{albumartist}/{album}[ (disc {disc})]/{track:02} {title}");
    EXPECT_EQ(Path(albums, fields), QStringLiteral("北方的艾达/港の灯り (disc 2)/03 Café Flood"));
    EXPECT_EQ(Path(QStringLiteral("[{disc}-]{track:02} [[{year}]]"), fields),
              QStringLiteral("2-03 [2001]"));
    fields.discNumber = 0;
    fields.albumArtist.clear();
    EXPECT_EQ(Path(albums, fields), QStringLiteral("港の灯り/03 Café Flood"));
    EXPECT_EQ(Path(QStringLiteral("[{disc}-]{track:02}[ - {artist}]"), fields),
              QStringLiteral("03 - Zoë"));
    EXPECT_EQ(Path(kFileNameTemplateChoices[3], fields), QStringLiteral("港の灯り/03 Café Flood"));
    for (const QString& choice : kFileNameTemplateChoices)
        EXPECT_FALSE(Path(choice, Track()).isEmpty()) << choice.toStdString();
}

TEST(FileNameTemplateTest, LongNamesAreCutAtACharacterKeepingTheirEnd)
{
    // 86 characters of 3 bytes: too long with ".flac".
    const QString title = QString(86, QChar(u'港'));
    const QString fitted = FitName(title, QStringLiteral(".flac"));
    EXPECT_EQ(fitted, QString(83, QChar(u'港')));
    EXPECT_EQ(FitName(title + QStringLiteral(" (12)"), QStringLiteral(".flac")),
              QString(81, QChar(u'港')) + QStringLiteral(" (12)"));
    // An accent stays with its letter; no dot or blank is left at the end.
    QString accented;
    for (int i = 0; i < 90; ++i)
        accented += QStringLiteral("e\u0301");
    const QString cut = FitName(accented);
    EXPECT_LE(cut.toUtf8().size(), kMaxNameBytes);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("e\u0301"))) << cut.size();
    EXPECT_EQ(FitName(QString(251, QLatin1Char('a')) + QStringLiteral(". b"), QStringLiteral(".x")),
              QString(251, QLatin1Char('a')));
    EXPECT_EQ(FitName(QStringLiteral("short"), QStringLiteral(".flac")), QStringLiteral("short"));
}

TEST(FileNameTemplateTest, EmptyNamesAndBadTemplatesAreErrors)
{
    TTemplateFields fields = Track();
    fields.album.clear();
    fields.trackNumber = 0;
    for (const QString& pattern :
         {QStringLiteral("{album}"), QStringLiteral("{track}"), QStringLiteral(""),
          QStringLiteral("/{title}"), QStringLiteral("{title}/"), QStringLiteral("x//{title}"),
          QStringLiteral("{nosuchfield}"), QStringLiteral("{title:02}"),
          QStringLiteral("{track:x}"), QStringLiteral("{title"), QStringLiteral("title}"),
          QStringLiteral("../{title}"), QStringLiteral("[{title}"), QStringLiteral("{title}]"),
          QStringLiteral("[a[{title}]]"), QStringLiteral("{album}/[{track}]")}) {
        const TTemplateResult result = ApplyFileNameTemplate(pattern, fields, TNameRules::Posix);
        EXPECT_FALSE(result.error.IsEmpty()) << pattern.toStdString();
        EXPECT_TRUE(result.path.isEmpty()) << pattern.toStdString();
    }
    // A message quotes at most a bit of a huge template.
    const TTemplateResult huge = ApplyFileNameTemplate(
        QString(100000, QLatin1Char('x')) + QStringLiteral("//{title}"), fields, kPortableNames);
    EXPECT_LT(huge.error.Chinese().size(), 300);
}

TEST(FileNameTemplateTest, ExampleForTheSettingsPage)
{
    const TTemplateExample good =
        FileNameTemplateExample(QStringLiteral("{album}/{track:02} {title}"), kPortableNames);
    EXPECT_TRUE(good.valid);
    EXPECT_EQ(good.text.Chinese(), QStringLiteral("例如: 海港之光/03 涨潮"));
    const TTemplateExample bad =
        FileNameTemplateExample(QStringLiteral("{bad}"), TNameRules::Posix);
    EXPECT_FALSE(bad.valid);
    EXPECT_EQ(bad.text.Chinese(), QStringLiteral("模板有误: 模板中有未知字段 {bad}"));
}

} // namespace
} // namespace sonfeld::app::metadata
