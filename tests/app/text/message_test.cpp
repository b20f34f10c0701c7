// Messages kept as their source and arguments: the Chinese text exactly as
// written, and an English one for every message the program makes.

#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

#include "app/files/file_name_template.h"
#include "app/files/file_naming.h"
#include "app/files/output_folder.h"
#include "app/metadata/http_get.h"
#include "app/queue/rip_progress.h"
#include "app/queue/track_target.h"
#include "app/settings/interface_language.h"
#include "app/text/message.h"
#include "app/text/texts.h"
#include "app/ui/interface_translation.h"
#include "app/verification/track_verdict.h"
#include "app_fixture.h"
#include "support/tools.h"

namespace sonfeld::test {
namespace {

using namespace sonfeld::app;

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        english_ = InterfaceTranslator(TInterfaceLanguage::English);
        ASSERT_TRUE(english_);
    }
    void TearDown() override { QCoreApplication::removeTranslator(english_.get()); }
    void English() { QCoreApplication::installTranslator(english_.get()); }

    // Every source in the message, its arguments' included, has an English
    // text: a reworded message cannot lose its translation unnoticed.
    static void ExpectEnglish(const TMessage& message)
    {
        if (message.Source() != nullptr) {
            EXPECT_NE(QCoreApplication::translate("sonfeld", message.Source()),
                      QString::fromUtf8(message.Source()))
                << message.Source();
        }
        for (const TMessage& argument : message.Arguments())
            ExpectEnglish(argument);
    }

    std::unique_ptr<QTranslator> english_;
};

// Each error a template can give, as the template code makes it.
std::vector<TMessage> TemplateErrors()
{
    metadata::TTemplateFields fields;
    fields.title = QStringLiteral("涨潮");
    std::vector<TMessage> errors;
    for (const char* pattern :
         {"{album}", "", "x//{title}", "{nosuchfield}", "{title:02}", "{track:x}", "{title",
          "title}", "../{title}", "[{title}", "{title}]", "[a[{title}]]"}) {
        errors.push_back(metadata::ApplyFileNameTemplate(QString::fromUtf8(pattern), fields,
                                                         metadata::kPortableNames)
                             .error);
        EXPECT_FALSE(errors.back().IsEmpty()) << pattern;
    }
    errors.push_back(
        metadata::FileNameTemplateExample(QStringLiteral("{bad}"), metadata::kPortableNames).text);
    errors.push_back(
        metadata::FileNameTemplateExample(QStringLiteral("{title}"), metadata::kPortableNames)
            .text);
    return errors;
}

TEST_F(MessageTest, EveryMessageTheProgramMakesHasAnEnglishText)
{
    English();
    for (const TMessage& error : TemplateErrors())
        ExpectEnglish(error);
    TRipProgress progress;
    progress.Start({75}, 0);
    ExpectEnglish(RipProgressText(progress, 1000));
    using metadata::THttpAnswer;
    for (const THttpAnswer::TFailure failure :
         {THttpAnswer::TFailure::Timeout, THttpAnswer::TFailure::Network,
          THttpAnswer::TFailure::TooLarge, THttpAnswer::TFailure::None}) {
        for (const int status : {503, 500}) {
            THttpAnswer answer;
            answer.failure = failure;
            answer.status = status;
            ExpectEnglish(metadata::FailureText(QStringLiteral("gnudb"), answer));
        }
    }
    ExpectEnglish(metadata::UnreadableAnswerText(QStringLiteral("gnudb")));
}

// One message from each producer, made by the producer itself: the log and
// the command line read it as it always was, the English window in English.
TEST_F(MessageTest, EachProducersMessageIsChineseForTheLogAndEnglishInTheWindow)
{
    EXPECT_EQ(InterfaceTranslator(TInterfaceLanguage::Chinese), nullptr);
    const TempDir temp;
    WriteFileBytes(temp / "file", {1});
    const QString notFolder = QString::fromStdString((temp / "file" / "sub").string());
    TOutputFolder folder;
    TTrackVerdict verdict;
    verdict.AccurateRip = {.Status = TDatabaseStatus::Accurate, .Confidence = 3};
    verdict.Ctdb = {.Status = TDatabaseStatus::Accurate, .Confidence = 12, .Offset = 48};
    verdict.CopyMismatch = true;
    struct TCase {
        TMessage message;
        QString chinese;
        QString english;
    };
    const TCase cases[] = {
        {metadata::ApplyFileNameTemplate(QStringLiteral("{x%2}"), {}, metadata::kPortableNames)
             .error,
         QStringLiteral("模板中有未知字段 {x%2}"),
         QStringLiteral("The template has an unknown field {x%2}")},
        {folder.Acquire(notFolder), QStringLiteral("无法创建文件夹“%1”。").arg(notFolder),
         QStringLiteral("Cannot create the folder \"%1\".").arg(notFolder)},
        {FileNameProblem(QStringLiteral(" ")), QStringLiteral("名称“ ”不能用作文件名。"),
         QStringLiteral("The name \" \" cannot be used as a file name.")},
        {TagsNotWritten("Cannot create file /tmp/x.mp3"),
         QStringLiteral("无法写入标签：Cannot create file /tmp/x.mp3"),
         QStringLiteral("Cannot write the tags: Cannot create file /tmp/x.mp3")},
        {VerdictCellText(verdict),
         QStringLiteral("精确 (可信度 3) · CTDB 精确 (可信度 12, 偏移 +48)；测试与复制 CRC 不一致"),
         QStringLiteral(
             "Accurate (confidence 3) · CTDB: accurate (confidence 12, offset +48); test and "
             "copy CRCs differ")},
        // A whole text defined in texts.h, passed on as a finished text.
        {TMessage(text::kAllDone), QStringLiteral("转换完成!"),
         QStringLiteral("Ripping finished!")},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.message.Shown(), c.chinese);
        EXPECT_EQ(c.message.Chinese(), c.chinese);
    }
    English();
    for (const TCase& c : cases) {
        EXPECT_EQ(c.message.Shown(), c.english);
        EXPECT_EQ(c.message.Chinese(), c.chinese);
    }
}

TEST_F(MessageTest, ArgumentsAreKeptAsTheyAreInEitherLanguage)
{
    // A nested message, and a verbatim argument holding a placeholder and
    // the text of a known message: neither is filled in nor translated.
    const metadata::TTemplateExample example =
        metadata::FileNameTemplateExample(QStringLiteral("[{title}"), metadata::kPortableNames);
    const TMessage verbatim =
        metadata::ApplyFileNameTemplate(QStringLiteral("../%2 例如: x/{title}"), {},
                                        metadata::kPortableNames)
            .error;
    const QString chinese = QStringLiteral("模板有误: 模板中的“[”没有配对的“]”");
    const QString quoted = QStringLiteral("模板“../%2 例如: x/{title}”含有“..”");
    EXPECT_EQ(example.text.Chinese(), chinese);
    EXPECT_EQ(example.text.Shown(), chinese);
    EXPECT_EQ(verbatim.Chinese(), quoted);
    English();
    EXPECT_EQ(example.text.Chinese(), chinese);
    EXPECT_EQ(example.text.Shown(),
              QStringLiteral("Template error: A \"[\" in the template has no matching \"]\""));
    EXPECT_EQ(verbatim.Shown(),
              QStringLiteral("The template \"../%2 例如: x/{title}\" contains \"..\""));
    EXPECT_EQ(TMessage::Verbatim(QStringLiteral("无法连接")).Shown(), QStringLiteral("无法连接"));
}

} // namespace
} // namespace sonfeld::test
