#include "KeyPattern.h"

#include "Text.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace moss {
namespace {

using Kind = KeyPattern::Kind;

using test::s;
using test::units;

// Checks the literal answers (for the subject, and for the candidate judged
// as a name: refused on its first units, or compared in ASCII) against the
// expression's for one candidate; returns the answer.
bool agreed(const KeyPattern& pattern, const QString& candidate) {
    const QString subject = KeyPattern::subject(candidate);
    const bool expected = pattern.matchesByExpression(subject);
    EXPECT_EQ(pattern.matches(subject), expected) << qPrintable(candidate);
    EXPECT_EQ(pattern.matches(KeyCandidate(candidate)), expected)
        << "name " << qPrintable(candidate);
    return expected;
}

std::vector<QString> keys() {
    std::vector<QString> list;
    for (const QString& key : s(u"com.acme.Sketcher|Квиллстоун|ßtraße|İstanbul|Σίσυφος|kit.kelvin|"
                                u"a+b(c)[d]{e}*?^$\\|\U00010400\U00010428")
                                  .split(u'|'))
        list.push_back(key);
    list.push_back(s(u"Caf") + units({0xDCC3}) + s(u" Tool"));
    list.push_back(s(u"org.x") + QString(2000, u'y'));
    return list;
}

// Characters a hostile or just international name may hold: the letters of
// the keys in both cases, their special case variants (Kelvin sign, long s,
// dotless i, final sigma, old Cyrillic forms), digits of other scripts,
// separators, line breaks, NUL, surrogates alone and paired.
std::vector<QString> pieces() {
    std::vector<QString> list;
    for (const QChar letter : s(u"acekmoprstACEKMOPRSTквилКВИЛßẞſıİσςΣΩΩkKKµÅå\u1C80\u1C81\u1E9B"))
        list.push_back(QString(letter));
    for (const QString& piece :
         {s(u"."), s(u"-"), s(u" "), s(u"\n"), s(u"0"), s(u"٣"), s(u"７"), s(u"\u3000"), s(u"beta"),
          s(u"Bet"), s(u"\uFFFD"), s(u"\U0001F600"), units({0xDCC3}), units({0xD83D}),
          units({0x0000})})
        list.push_back(piece);
    return list;
}

// The key, its case variants, each with a rest that may or may not be
// permitted, and random mutations of all of them.
std::vector<QString> candidatesFor(const QString& key, std::mt19937& random) {
    std::vector<QString> seeds = {key, key.toUpper(), key.toCaseFolded(), key.chopped(1)};
    const std::vector<QString> all = pieces();
    std::vector<QString> candidates;
    for (const QString& seed : seeds) {
        candidates.push_back(seed);
        for (const QString& piece : all)
            candidates.push_back(seed + piece + s(u"tail"));
    }
    std::uniform_int_distribution<size_t> pick(0, all.size() - 1);
    for (int round = 0; round < 400; ++round) {
        QString candidate = seeds.at(size_t(round) % seeds.size());
        const int edits = 1 + round % 3;
        for (int edit = 0; edit < edits; ++edit) {
            const qsizetype at = qsizetype(random() % size_t(candidate.size() + 1));
            // Insert, replace or remove one unit.
            const size_t op = random() % 3;
            candidate.replace(at, op == 0 ? 0 : 1, op == 2 ? QString() : all.at(pick(random)));
        }
        candidates.push_back(candidate);
    }
    return candidates;
}

// The literal answers (for a subject, and for a name refused early or
// compared in ASCII) equal the expression's on every key, its case variants
// with rests permitted or not, and random mutations of them.
TEST(KeyPatternDifferential, literalAnswersEqualTheExpressionsOnRandomAndHostileNames) {
    std::mt19937 random(20240607);
    for (const QString& key : keys()) {
        const std::vector<QString> candidates = candidatesFor(key, random);
        for (const Kind kind : {Kind::identifier, Kind::name}) {
            const KeyPattern pattern(key, kind);
            for (const QString& candidate : candidates)
                agreed(pattern, candidate);
        }
    }
}

// Case variants outside ASCII, lone surrogates, first and last units, the
// rest after the key by kind, and keys too long for the engine: each answer
// as the expression gives it.
TEST(KeyPatternLiteral, answersAtTheEdges) {
    const QString lone = units({0xDCC3});
    // Key, kind, name, and the answer (none: only the agreement counts).
    const QString huge = s(u"org.") + QString(40000, u'é');
    const std::tuple<QString, Kind, QString, std::optional<bool>> cases[] = {
        {s(u"kit.kelvin"), Kind::name, s(u"\u212Ait.\u212Aelvin"), true},
        {s(u"kit.kelvin"), Kind::name, s(u"kit.kelvi") + units({0xDC6E}), false},
        {s(u"Sketches"), Kind::name, s(u"\u017Fketche\u017F 2"), true},
        {lone + s(u"cole"), Kind::name, lone + s(u"COLE.log"), true},
        {s(u"\U00010400ome"), Kind::name, s(u"\U00010428OME"), true},
        {huge, Kind::identifier, huge + s(u".plist"), std::nullopt},
    };
    for (const auto& [key, kind, name, expected] : cases) {
        const bool matches = agreed(KeyPattern(key, kind), name);
        EXPECT_EQ(expected.value_or(matches), matches) << qPrintable(name.left(20));
    }
    // A genuine U+FFFD is doubled, even alone, so that it never spells a lone surrogate.
    EXPECT_EQ(KeyPattern::subject(s(u"\uFFFD")), s(u"\uFFFD\uFFFD"));
}

} // namespace
} // namespace moss
