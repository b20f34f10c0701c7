#include "app/rip/metadata/file_name_template.h"

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
             TNameRules rules = TNameRules::Posix)
{
    const TTemplateResult result = ApplyFileNameTemplate(pattern, fields, rules);
    EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
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

TEST(FileNameTemplateTest, CharactersAFileSystemRefusesBecomeLookAlikes)
{
    TTemplateFields fields = Track();
    fields.album = QStringLiteral("AC/DC: Live?");
    fields.title = QStringLiteral("a\tb") + QChar(u'\0') + QStringLiteral("c*<>|\"\\");
    EXPECT_EQ(Path(QStringLiteral("{album}/{title}"), fields),
              QStringLiteral("AC／DC: Live?/a\u2409b\u2400c*<>|\"\\"));
    EXPECT_EQ(Path(QStringLiteral("{album}/{title}"), fields, TNameRules::Windows),
              QStringLiteral("AC／DC： Live？/a\u2409b\u2400c＊＜＞｜＂＼"));
    // A field cannot climb out of the folder.
    fields.album = QStringLiteral("..");
    EXPECT_EQ(Path(QStringLiteral("{album}/{title}"), fields).section(QLatin1Char('/'), 0, 0),
              QStringLiteral("．．"));
}

TEST(FileNameTemplateTest, EmptyNamesAndBadTemplatesAreErrors)
{
    TTemplateFields fields = Track();
    fields.album.clear();
    fields.trackNumber = 0;
    for (const QString& pattern :
         {QStringLiteral("{album}/{title}"), QStringLiteral("{track}"), QStringLiteral(""),
          QStringLiteral("/{title}"), QStringLiteral("{title}/"), QStringLiteral("{album} /x"),
          QStringLiteral("{nosuchfield}"), QStringLiteral("{title:02}"),
          QStringLiteral("{track:x}"), QStringLiteral("{title"), QStringLiteral("title}"),
          QStringLiteral("../{title}")}) {
        const TTemplateResult result = ApplyFileNameTemplate(pattern, fields, TNameRules::Posix);
        EXPECT_FALSE(result.error.isEmpty()) << pattern.toStdString();
        EXPECT_TRUE(result.path.isEmpty()) << pattern.toStdString();
    }
}

TEST(FileNameTemplateTest, ExampleForTheSettingsPage)
{
    EXPECT_EQ(
        FileNameTemplateExample(QStringLiteral("{album}/{track:02} {title}"), TNameRules::Posix),
        QStringLiteral("例如: 海港之光/03 涨潮"));
    EXPECT_TRUE(FileNameTemplateExample(QStringLiteral("{bad}"), TNameRules::Posix)
                    .startsWith(QStringLiteral("模板有误: ")));
}

} // namespace
} // namespace sonfeld::app::metadata
