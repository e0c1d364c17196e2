#include "KeyPattern.h"

#include <QRegularExpressionMatch>
#include <algorithm>

namespace moss {

namespace {

// What may follow a key in a matching name.
const QString& suffixPattern(KeyPattern::Kind kind) {
    static const QString identifier = QStringLiteral(R"((?:[.\-_ ].*|\d.*|beta.*)?)");
    static const QString name = QStringLiteral(R"((?:[.\-_ \d].*)?)");
    return kind == KeyPattern::Kind::identifier ? identifier : name;
}

constexpr char16_t replacementCharacter = u'\uFFFD';
// Private-use plane 15 holds the spelling of lone surrogates in subject().
constexpr char32_t loneSurrogateBase = 0xF0000;

// Keys longer than this are left to the expression alone, which the engine
// may refuse as too large (then it matches nothing); no file name is this long.
constexpr qsizetype longestLiteralKey = 1000;

// A pattern that matches text literally: every character but ASCII letters,
// digits and "_" is spelled as a code point (QRegularExpression::escape turns
// a NUL followed by digits into an octal escape).
QString literalPattern(const QString& text) {
    QString pattern;
    for (const char32_t codePoint : text.toUcs4()) {
        const bool plain = (codePoint >= U'a' && codePoint <= U'z') ||
                           (codePoint >= U'A' && codePoint <= U'Z') ||
                           (codePoint >= U'0' && codePoint <= U'9') || codePoint == U'_';
        if (plain)
            pattern += QChar(char16_t(codePoint));
        else
            pattern += QStringLiteral("\\x{%1}").arg(quint32(codePoint), 0, 16);
    }
    return pattern;
}

// Digits and white space of any script; "." also crosses line breaks, so that
// the pattern describes the whole candidate.
QRegularExpression expressionFor(const QString& text, KeyPattern::Kind kind) {
    return QRegularExpression(
        QRegularExpression::anchoredPattern(literalPattern(text) + suffixPattern(kind)),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption |
            QRegularExpression::DotMatchesEverythingOption);
}

bool isAscii(char32_t c) {
    return c < 0x80;
}

char32_t asciiLower(char32_t c) {
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

// The code point that starts at text[i] (valid UTF-16); i moves past it.
char32_t nextCodePoint(QStringView text, qsizetype& i) {
    const QChar unit = text[i++];
    if (unit.isHighSurrogate() && i < text.size() && text[i].isLowSurrogate())
        return QChar::surrogateToUcs4(unit, text[i++]);
    return unit.unicode();
}

char16_t foldedFirstUnit(const QString& text) {
    return text.isEmpty() ? KeyCandidate::notAscii : KeyCandidate::folded(text.front());
}

QString asciiLowerCase(const QString& text) {
    QString lower(text.size(), Qt::Uninitialized);
    std::transform(text.cbegin(), text.cend(), lower.begin(),
                   [](QChar unit) { return QChar(char16_t(asciiLower(unit.unicode()))); });
    return lower;
}

bool isPlainAscii(const QString& text) {
    return !text.isEmpty() && text.size() <= longestLiteralKey &&
           std::all_of(text.cbegin(), text.cend(),
                       [](QChar unit) { return isAscii(unit.unicode()); });
}

} // namespace

KeyCandidate::KeyCandidate(const QString& name)
    : name_(name), foldedFirst_(foldedFirstUnit(name)) {}

const QString& KeyCandidate::subject() const {
    if (!subject_)
        subject_ = KeyPattern::subject(name_);
    return *subject_;
}

bool isLoneSurrogateAt(const QString& text, qsizetype i) {
    const QChar unit = text.at(i);
    if (unit.isHighSurrogate())
        return i + 1 == text.size() || !text.at(i + 1).isLowSurrogate();
    if (unit.isLowSurrogate())
        return i == 0 || !text.at(i - 1).isHighSurrogate();
    return false;
}

KeyPattern::KeyPattern(const QString& key, Kind kind)
    : text_(subject(key)), kind_(kind), foldedFirst_(foldedFirstUnit(text_)),
      plainAscii_(isPlainAscii(text_)), asciiLowerText_(asciiLowerCase(text_)),
      expression_(expressionFor(text_, kind)) {}

// A lone surrogate becomes U+FFFD followed by a private-use character that
// names it, and a genuine U+FFFD is doubled. Distinct texts stay distinct,
// and a key stays a prefix of a candidate exactly when it was one before.
QString KeyPattern::subject(const QString& candidate) {
    const bool valid = std::none_of(candidate.cbegin(), candidate.cend(), [](QChar unit) {
        return unit.isSurrogate() || unit == QChar(replacementCharacter);
    });
    if (valid)
        return candidate;
    QString spelled;
    spelled.reserve(candidate.size() + 16);
    for (qsizetype i = 0; i < candidate.size(); ++i) {
        const QChar unit = candidate.at(i);
        if (isLoneSurrogateAt(candidate, i)) {
            spelled += QChar(replacementCharacter);
            spelled += QChar::fromUcs4(loneSurrogateBase + (unit.unicode() - 0xD800));
            continue;
        }
        if (unit == QChar(replacementCharacter))
            spelled += unit;
        spelled += unit;
    }
    return spelled;
}

bool KeyPattern::matches(QStringView subject) const {
    switch (literalVerdict(subject)) {
    case Verdict::no:
        return false;
    case Verdict::yes:
        return true;
    case Verdict::unsure:
        break;
    }
    return matchesByExpression(subject.toString());
}

bool KeyPattern::matchesUnlessRuledOut(const KeyCandidate& candidate) const {
    if (plainAscii_) {
        const Verdict verdict = asciiVerdict(candidate.name());
        if (verdict != Verdict::unsure)
            return verdict == Verdict::yes;
    }
    return matches(candidate.subject());
}

// A key too long for the engine (tens of thousands of characters) gives an
// invalid expression, which matches nothing.
bool KeyPattern::matchesByExpression(const QString& subject) const {
    return expression_.isValid() && expression_.match(subject).hasMatch();
}

// literalVerdict() of a plain ASCII key, read off the name itself: up to its
// first unit outside ASCII, a name and its subject() form are the same text.
// Unsure when the comparison reaches such a unit.
KeyPattern::Verdict KeyPattern::asciiVerdict(QStringView name) const {
    const Verdict key = asciiPrefixVerdict(name, asciiLowerText_);
    return key == Verdict::yes ? restVerdict(name.mid(asciiLowerText_.size())) : key;
}

// The caseless comparison of the engine pairs the key's code points one to
// one with the subject's. Two ASCII code points are equal ignoring case
// exactly when their ASCII lower cases are; no ASCII character is a case
// variant of another ASCII character. Any other unequal pair (a Kelvin sign
// against "k", Cyrillic variants, digits of other scripts) is left to the
// expression.
KeyPattern::Verdict KeyPattern::literalVerdict(QStringView subject) const {
    bool certain = text_.size() <= longestLiteralKey;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < text_.size()) {
        if (j == subject.size())
            return Verdict::no;
        const char16_t keyUnit = text_[i].unicode();
        const char16_t candidateUnit = subject[j].unicode();
        if (isAscii(keyUnit) && isAscii(candidateUnit)) { // the common case, unit by unit
            if (asciiLower(keyUnit) != asciiLower(candidateUnit))
                return Verdict::no;
            ++i;
            ++j;
            continue;
        }
        if (nextCodePoint(text_, i) != nextCodePoint(subject, j))
            certain = false;
    }
    const Verdict rest = restVerdict(subject.mid(j));
    return rest == Verdict::yes && !certain ? Verdict::unsure : rest;
}

// Whether what follows the key is permitted: nothing, a separator or a digit
// (of any script: a non-ASCII character is left unsure), or "beta" ignoring
// case after an identifier.
KeyPattern::Verdict KeyPattern::restVerdict(QStringView rest) const {
    if (rest.isEmpty())
        return Verdict::yes;
    const char16_t first = rest[0].unicode();
    if (!isAscii(first))
        return Verdict::unsure;
    if (first == u'.' || first == u'-' || first == u'_' || first == u' ' ||
        (first >= u'0' && first <= u'9'))
        return Verdict::yes;
    if (kind_ != Kind::identifier)
        return Verdict::no;
    return asciiPrefixVerdict(rest, u"beta");
}

// Whether text begins with `lower` (ASCII, in lower case) ignoring ASCII case;
// unsure when the comparison meets a unit outside ASCII first.
KeyPattern::Verdict KeyPattern::asciiPrefixVerdict(QStringView text, QStringView lower) {
    for (qsizetype i = 0; i < lower.size(); ++i) {
        if (i == text.size())
            return Verdict::no;
        const char16_t unit = text[i].unicode();
        if (!isAscii(unit))
            return Verdict::unsure;
        if (asciiLower(unit) != lower[i].unicode())
            return Verdict::no;
    }
    return Verdict::yes;
}

void KeySet::add(const QString& key, int length) {
    patterns_.append(KeyPattern(key, kind_));
    keys_.append(key);
    lengths_.append(length);
    const char16_t first = patterns_.constLast().foldedFirst();
    if (first == KeyCandidate::notAscii)
        nonAsciiFirst_ = true;
    else
        asciiFirsts_.set(first);
}

bool KeySet::anyMatches(const KeyCandidate& candidate) const {
    return mayMatch(candidate) && std::any_of(patterns_.cbegin(), patterns_.cend(),
                                              [&candidate](const KeyPattern& pattern) {
                                                  return pattern.matches(candidate);
                                              });
}

int KeySet::longestMatch(const KeyCandidate& candidate) const {
    const qsizetype longest = longestMatchingKey(candidate);
    return longest < 0 ? 0 : lengths_.at(longest);
}

QList<int> KeySet::matchLengths(const KeyCandidate& candidate) const {
    QList<int> lengths;
    for (const qsizetype position : matchingKeys(candidate))
        lengths.append(lengths_.at(position));
    return lengths;
}

qsizetype KeySet::longestMatchingKey(const KeyCandidate& candidate) const {
    qsizetype longest = -1;
    if (!mayMatch(candidate))
        return longest;
    for (qsizetype i = 0; i < patterns_.size(); ++i) {
        if ((longest < 0 || lengths_.at(i) > lengths_.at(longest)) &&
            patterns_.at(i).matches(candidate))
            longest = i;
    }
    return longest;
}

QList<qsizetype> KeySet::matchingKeys(const KeyCandidate& candidate) const {
    QList<qsizetype> positions;
    if (!mayMatch(candidate))
        return positions;
    for (qsizetype i = 0; i < patterns_.size(); ++i) {
        if (patterns_.at(i).matches(candidate))
            positions.append(i);
    }
    return positions;
}

} // namespace moss
