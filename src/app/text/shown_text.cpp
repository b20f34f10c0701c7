#include "shown_text.h"

#include <QMap>
#include <QRegularExpression>
#include <vector>

namespace sonfeld::app {

namespace {

constexpr char kContext[] = "sonfeld";

// Messages the rip queue and the verification still hand over as finished
// Chinese text, exactly as they make them, so the window can show them in its
// language. A message made as a TMessage needs no pattern here.
const char* const kPatterns[] = {
    QT_TRANSLATE_NOOP("sonfeld", "以下音轨会写入同一个文件，请更改名称: %1"),
    QT_TRANSLATE_NOOP("sonfeld", "%1、%2 → “%3”"),
    QT_TRANSLATE_NOOP("sonfeld", "无法创建文件夹“%1”。"),
    QT_TRANSLATE_NOOP("sonfeld", "另一个 Sonfeld 正在向文件夹“%1”写入文件，请等它结束后再试。"),
    QT_TRANSLATE_NOOP("sonfeld", "无法在文件夹“%1”中写入文件。"),
    QT_TRANSLATE_NOOP("sonfeld", "无法在文件夹“%1”中写入文件：%2"),
    QT_TRANSLATE_NOOP("sonfeld", "无法把文件保存为“%1”：%2"),
    QT_TRANSLATE_NOOP("sonfeld", "名称为空，不能用作文件名。"),
    QT_TRANSLATE_NOOP("sonfeld", "名称“%1”不能用作文件名。"),
    QT_TRANSLATE_NOOP("sonfeld", "无法写入标签：%1"),
    QT_TRANSLATE_NOOP("sonfeld", "无法保存封面“%1”。"),
    QT_TRANSLATE_NOOP("sonfeld", "按模板得到的路径“%1”不在输出文件夹中"),
    QT_TRANSLATE_NOOP("sonfeld", "模板字段 {%1} 的宽度无效"),
    QT_TRANSLATE_NOOP("sonfeld", "模板字段 {%1} 不是数字，不能指定宽度"),
    QT_TRANSLATE_NOOP("sonfeld", "模板中有未知字段 {%1}"),
    QT_TRANSLATE_NOOP("sonfeld", "模板中的“{”没有配对的“}”"),
    QT_TRANSLATE_NOOP("sonfeld", "模板中的“}”没有配对的“{”"),
    QT_TRANSLATE_NOOP("sonfeld", "按模板得到的文件名为空"),
    QT_TRANSLATE_NOOP("sonfeld", "按模板得到的路径“%1”中有空的文件夹名或文件名"),
    QT_TRANSLATE_NOOP("sonfeld", "模板“%1”含有“%2”"),
    QT_TRANSLATE_NOOP("sonfeld", "精确 (可信度 %1)"),
    QT_TRANSLATE_NOOP("sonfeld", "不匹配"),
    QT_TRANSLATE_NOOP("sonfeld", "数据库中无此光盘"),
    QT_TRANSLATE_NOOP("sonfeld", "无法连接"),
    QT_TRANSLATE_NOOP("sonfeld", "%1；测试与复制 CRC 不一致"),
    QT_TRANSLATE_NOOP("sonfeld", "手动"),
};

// Arguments are themselves often shown texts (a verdict inside a longer
// one); deeper nesting than this never happens.
constexpr int kMaxNesting = 3;

struct TPattern {
    const char* Source;
    QRegularExpression Matcher; // literal text, each %N any text
    QList<int> Numbers;         // the %N of each captured group, in order
};

const std::vector<TPattern>& Patterns()
{
    static const std::vector<TPattern> patterns = [] {
        static const QRegularExpression placeholder(QStringLiteral("%(\\d)"));
        std::vector<TPattern> made;
        for (const char* pattern : kPatterns) {
            const QString source = QString::fromUtf8(pattern);
            QString expression = QStringLiteral("^");
            QList<int> numbers;
            qsizetype from = 0;
            for (const QRegularExpressionMatch& found : placeholder.globalMatch(source)) {
                expression +=
                    QRegularExpression::escape(source.mid(from, found.capturedStart() - from));
                expression += QStringLiteral("(.*?)");
                numbers << found.captured(1).toInt();
                from = found.capturedEnd();
            }
            if (numbers.isEmpty())
                continue; // a whole text: Shown() finds it
            expression += QRegularExpression::escape(source.mid(from)) + QStringLiteral("$");
            made.push_back(
                {pattern,
                 QRegularExpression(expression, QRegularExpression::DotMatchesEverythingOption),
                 numbers});
        }
        return made;
    }();
    return patterns;
}

QString Translated(const QString& message, int depth)
{
    QString whole = Shown(message);
    if (whole != message || message.isEmpty() || depth >= kMaxNesting)
        return whole;
    for (const TPattern& pattern : Patterns()) {
        const QRegularExpressionMatch match = pattern.Matcher.match(message);
        if (!match.hasMatch())
            continue;
        QMap<int, QString> arguments;
        for (int i = 0; i < pattern.Numbers.size(); ++i)
            arguments[pattern.Numbers[i]] = Translated(match.captured(i + 1), depth + 1);
        // One pass, so an argument holding "%2" is never filled in again.
        const QString shown = QCoreApplication::translate(kContext, pattern.Source);
        QString result;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            if (shown[i] == QLatin1Char('%') && i + 1 < shown.size() && shown[i + 1].isDigit() &&
                arguments.contains(shown[i + 1].digitValue())) {
                result += arguments.value(shown[i + 1].digitValue());
                ++i;
            } else {
                result += shown[i];
            }
        }
        return result;
    }
    return message;
}

} // namespace

QString Shown(const QString& chinese)
{
    if (chinese.isEmpty())
        return chinese;
    return QCoreApplication::translate(kContext, chinese.toUtf8().constData());
}

QString ShownMessage(const QString& message)
{
    return Translated(message, 0);
}

} // namespace sonfeld::app
