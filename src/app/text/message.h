#pragma once

#include <QString>
#include <QtGlobal>
#include <utility>
#include <vector>

// A message the program makes for the user, kept as its source text and its
// arguments until it is shown. The source is the Chinese text, marked with
// QT_TRANSLATE_NOOP("sonfeld", …) where the message is made, so the
// translation check finds every one; Chinese() is what the log, the command
// line and the Chinese window read, Shown() what the window shows in its
// language. Nothing is ever parsed back out of a finished text.
namespace sonfeld::app {

class TMessage {
public:
    TMessage() = default;
    // source: a literal marked QT_TRANSLATE_NOOP("sonfeld", "…%1…"); it must
    // outlive the message (a string literal does).
    explicit TMessage(const char* source) : source_(source) {}
    // A finished text: shown translated when it is one of the program's whole
    // texts (marked where it is defined, as the texts.h ones are), else as it
    // is. Lets a text made before messages were kept this way pass through.
    TMessage(const QString& text) : text_(text), kind_(EKind::Whole) {}

    // Text that is not the program's own (a file name, a library's message,
    // a name from the disc): shown exactly as it is in every language.
    static TMessage Verbatim(const QString& text);
    // The parts one after the other, separator (verbatim) between them.
    static TMessage Joined(std::vector<TMessage> parts, const QString& separator);

    // The next %N: a message of its own (translated with this one), verbatim
    // text, or a number.
    TMessage& Arg(const TMessage& argument) &;
    TMessage&& Arg(const TMessage& argument) &&;
    TMessage& Arg(const QString& verbatim) & { return Arg(Verbatim(verbatim)); }
    TMessage&& Arg(const QString& verbatim) && { return std::move(Arg(Verbatim(verbatim))); }
    TMessage& Arg(qint64 number) & { return Arg(QString::number(number)); }
    TMessage&& Arg(qint64 number) && { return std::move(Arg(QString::number(number))); }

    bool IsEmpty() const;
    // The marked source text, or nullptr for any other text and no message.
    const char* Source() const { return source_; }
    const std::vector<TMessage>& Arguments() const { return arguments_; }

    QString Chinese() const;
    // In the language of the installed translator (none: Chinese).
    QString Shown() const;

    friend bool operator==(const TMessage& a, const TMessage& b);

private:
    QString Filled(bool translated) const;

    enum class EKind : char { Verbatim, Whole, Joined };

    const char* source_ = nullptr;
    QString text_; // the text itself, or the separator of a joined message
    std::vector<TMessage> arguments_;
    EKind kind_ = EKind::Verbatim;
};

} // namespace sonfeld::app
