#pragma once

// One key of a Matcher: a literal that a whole file name must begin with,
// ignoring case, followed by what may follow that kind of key.

#include <QRegularExpression>
#include <QString>
#include <QStringView>

namespace moss {

class KeyPattern {
public:
    // What may follow the key: an identifier continues with a separator, a
    // digit or "beta"; a name with a separator or a digit.
    enum class Kind { identifier, name };

    KeyPattern(const QString& key, Kind kind);

    // The form in which keys and candidates are compared: valid UTF-16 that
    // still tells every text apart (lone surrogates are spelled out).
    static QString subject(const QString& candidate);

    // Whether subject (a subject() form) is the key followed by a permitted
    // rest, ignoring case. Settled by a literal comparison wherever that is
    // certain, by the regular expression otherwise.
    bool matches(QStringView subject) const;
    // The same question answered by the regular expression alone.
    bool matchesByExpression(const QString& subject) const;

private:
    enum class Verdict { no, yes, unsure };

    Verdict literalVerdict(QStringView subject) const;
    Verdict restVerdict(QStringView rest) const;

    QString text_; // subject() form of the key
    Kind kind_;
    // Compiled on its first match, which most keys never reach.
    QRegularExpression expression_;
};

// Whether text[i] is a surrogate without its partner: file names carry their
// invalid bytes so.
bool isLoneSurrogateAt(const QString& text, qsizetype i);

} // namespace moss
