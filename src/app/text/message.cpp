#include "message.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cstring>

namespace sonfeld::app {

TMessage TMessage::Verbatim(const QString& text)
{
    TMessage message;
    message.text_ = text;
    return message;
}

TMessage TMessage::Joined(std::vector<TMessage> parts, const QString& separator)
{
    TMessage message;
    message.text_ = separator;
    message.arguments_ = std::move(parts);
    message.kind_ = EKind::Joined;
    return message;
}

TMessage& TMessage::Arg(const TMessage& argument) &
{
    arguments_.push_back(argument);
    return *this;
}

TMessage&& TMessage::Arg(const TMessage& argument) &&
{
    arguments_.push_back(argument);
    return std::move(*this);
}

bool TMessage::IsEmpty() const
{
    if (kind_ == EKind::Joined)
        return std::all_of(arguments_.begin(), arguments_.end(),
                           [](const TMessage& part) { return part.IsEmpty(); });
    return source_ == nullptr && text_.isEmpty();
}

QString TMessage::Chinese() const
{
    return Filled(false);
}

QString TMessage::Shown() const
{
    return Filled(true);
}

QString TMessage::Filled(bool translated) const
{
    if (kind_ == EKind::Joined) {
        QStringList parts;
        parts.reserve(static_cast<qsizetype>(arguments_.size()));
        for (const TMessage& part : arguments_)
            parts << part.Filled(translated);
        return parts.join(text_);
    }
    if (source_ == nullptr) {
        if (kind_ == EKind::Whole && translated && !text_.isEmpty())
            return QCoreApplication::translate("sonfeld", text_.toUtf8().constData());
        return text_;
    }
    const QString pattern =
        translated ? QCoreApplication::translate("sonfeld", source_) : QString::fromUtf8(source_);
    // One pass, so an argument holding "%2" is never filled in again.
    QString result;
    result.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('%') && i + 1 < pattern.size() && pattern[i + 1].isDigit()) {
            const std::size_t number = static_cast<std::size_t>(pattern[i + 1].digitValue());
            if (number >= 1 && number <= arguments_.size()) {
                result += arguments_[number - 1].Filled(translated);
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

bool operator==(const TMessage& a, const TMessage& b)
{
    const bool sameSource = a.source_ == b.source_ ||
                            (a.source_ && b.source_ && std::strcmp(a.source_, b.source_) == 0);
    return sameSource && a.kind_ == b.kind_ && a.text_ == b.text_ && a.arguments_ == b.arguments_;
}

} // namespace sonfeld::app
