#pragma once

// The keys of a Matcher: each a literal that a whole file name must begin
// with, ignoring case, followed by what may follow that kind of key.

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringView>
#include <bitset>
#include <optional>

namespace moss {

// A file name as keys compare it. Its subject() form is made at most once,
// and only when a key needs more than the name's ASCII characters. Refers
// to the name, which must outlive it.
class KeyCandidate {
public:
    explicit KeyCandidate(const QString& name);
    explicit KeyCandidate(QString&&) = delete;

    const QString& name() const { return name_; }
    const QString& subject() const;
    // folded() of the name's first unit; notAscii for an empty name.
    char16_t foldedFirst() const { return foldedFirst_; }

    // What folded() gives for a unit outside ASCII.
    static constexpr char16_t notAscii = 0xFFFF;
    // The ASCII lower case of an ASCII unit, notAscii for any other.
    static char16_t folded(QChar unit) {
        const char16_t value = unit.unicode();
        if (value >= 0x80)
            return notAscii;
        return value >= u'A' && value <= u'Z' ? char16_t(value + (u'a' - u'A')) : value;
    }

private:
    const QString& name_;
    char16_t foldedFirst_;
    mutable std::optional<QString> subject_;
};

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
    // The same question about a name. Most names are refused by ruledOut();
    // ASCII names are compared as they are, without their subject() form.
    bool matches(const KeyCandidate& candidate) const {
        return !ruledOut(candidate) && matchesUnlessRuledOut(candidate);
    }
    // The same question answered by the regular expression alone.
    bool matchesByExpression(const QString& subject) const;

    // KeyCandidate::folded() of the key's first unit; notAscii if it is empty.
    char16_t foldedFirst() const { return foldedFirst_; }

private:
    enum class Verdict { no, yes, unsure };

    // A refusal before any comparison. The engine pairs the key's code
    // points one to one with the name's, and pairs an ASCII key character
    // only with itself ignoring ASCII case or with a case variant outside
    // ASCII (the Kelvin sign, the long s), each one unit long. So a name that
    // matches a plain ASCII key is at least as long as the key, and its unit
    // under the key's last is that unit ignoring case or lies outside ASCII.
    // The first units are compared for every key.
    bool ruledOut(const KeyCandidate& candidate) const {
        if (!compatible(candidate.foldedFirst(), foldedFirst_))
            return true;
        if (!plainAscii_)
            return false;
        const QString& name = candidate.name();
        const qsizetype last = asciiLowerText_.size() - 1;
        return name.size() <= last ||
               !compatible(KeyCandidate::folded(name[last]), asciiLowerText_[last].unicode());
    }
    static bool compatible(char16_t nameUnit, char16_t keyUnit) {
        return nameUnit == keyUnit || nameUnit == KeyCandidate::notAscii ||
               keyUnit == KeyCandidate::notAscii;
    }
    bool matchesUnlessRuledOut(const KeyCandidate& candidate) const;
    Verdict asciiVerdict(QStringView name) const;
    Verdict literalVerdict(QStringView subject) const;
    Verdict restVerdict(QStringView rest) const;
    static Verdict asciiPrefixVerdict(QStringView text, QStringView lower);

    QString text_; // subject() form of the key
    Kind kind_;
    char16_t foldedFirst_;
    // Not empty, all ASCII and short enough to be decided by a literal
    // comparison.
    bool plainAscii_;
    // text_ with ASCII letters in lower case.
    QString asciiLowerText_;
    // Compiled on its first match, which most keys never reach.
    QRegularExpression expression_;
};

// The keys of one kind, each with its length in user-perceived characters,
// indexed by their first units: a name that begins with an ASCII unit that
// no key can begin with is refused without looking at the keys.
class KeySet {
public:
    explicit KeySet(KeyPattern::Kind kind) : kind_(kind) {}

    void add(const QString& key, int length);

    bool anyMatches(const KeyCandidate& candidate) const;
    // The largest length of a key that matches, 0 when none does.
    int longestMatch(const KeyCandidate& candidate) const;
    // The lengths of the keys that match, in the order of the keys.
    QList<int> matchLengths(const KeyCandidate& candidate) const;

    // The same answers naming the keys, by their position in the order they
    // were added: the first of the longest keys that match (-1 when none
    // does), and every key that matches.
    qsizetype longestMatchingKey(const KeyCandidate& candidate) const;
    QList<qsizetype> matchingKeys(const KeyCandidate& candidate) const;
    // A key as it was added, and its length.
    const QString& key(qsizetype position) const { return keys_.at(position); }
    int length(qsizetype position) const { return lengths_.at(position); }

private:
    bool mayMatch(const KeyCandidate& candidate) const {
        const char16_t first = candidate.foldedFirst();
        return first == KeyCandidate::notAscii || nonAsciiFirst_ || asciiFirsts_.test(first);
    }

    KeyPattern::Kind kind_;
    QList<KeyPattern> patterns_;
    QStringList keys_;
    QList<int> lengths_;
    // The folded() first units of the keys that begin with an ASCII unit.
    std::bitset<0x80> asciiFirsts_;
    // Whether some key begins outside ASCII, so that any name may begin like it.
    bool nonAsciiFirst_ = false;
};

// Whether text[i] is a surrogate without its partner: file names carry their
// invalid bytes so.
bool isLoneSurrogateAt(const QString& text, qsizetype i);

} // namespace moss
