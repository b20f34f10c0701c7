// Messages kept as their source and arguments: the Chinese text exactly as
// written, and an English one for every message the program makes.

#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

#include "app/files/file_name_template.h"
#include "app/metadata/http_get.h"
#include "app/queue/rip_progress.h"
#include "app/settings/interface_language.h"
#include "app/text/message.h"
#include "app/ui/interface_translation.h"
#include "app_fixture.h"

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
