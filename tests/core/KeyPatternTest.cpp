#include "KeyPattern.h"

#include "Text.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace moss {
namespace {

using Kind = KeyPattern::Kind;

using test::s;
using test::units;

// Checks the literal answer against the expression's for one candidate;
// returns the answer.
bool agreed(const KeyPattern& pattern, const QString& candidate) {
    const QString subject = KeyPattern::subject(candidate);
    const bool fast = pattern.matches(subject);
    EXPECT_EQ(fast, pattern.matchesByExpression(subject))
        << "candidate: " << qPrintable(candidate) << " (" << candidate.size() << " units)";
    return fast;
}

// The same for the candidate judged as a name (KeyCandidate): refused on
// its first units, or compared without its subject() form when ASCII.
bool agreedAsName(const KeyPattern& pattern, const QString& candidate) {
    const bool fast = pattern.matches(KeyCandidate(candidate));
    EXPECT_EQ(fast, pattern.matchesByExpression(KeyPattern::subject(candidate)))
        << "candidate: " << qPrintable(candidate) << " (" << candidate.size() << " units)";
    return fast;
}

const std::vector<QString>& keys() {
    static const std::vector<QString> all = {
        s(u"com.acme.Sketcher"),
        s(u"Sketcher Pro"),
        s(u"Skeтcher"),
        s(u"Квиллстоун"),
        s(u"Дом.Вод"),
        s(u"ßtraße"),
        s(u"İstanbul"),
        s(u"Σίσυφος"),
        s(u"kit.kelvin"),
        s(u"Ωmega"),
        s(u"a+b(c)[d]{e}*?|^$\\"),
        s(u"Caf\uFFFD"),
        s(u"Caf") + units({0xDCC3}) + s(u" Tool"),
        s(u"emoji\U0001F600key"),
        s(u"\U00010400\U00010428"),
        s(u"org.x") + QString(2000, u'y'),
    };
    return all;
}

// Characters a hostile or just international name may hold: the letters of
// the keys in both cases, their special case variants (Kelvin sign, long s,
// dotless i, final sigma, old Cyrillic forms), digits of other scripts,
// separators, line breaks, NUL, surrogates alone and paired.
const std::vector<QString>& pieces() {
    static const std::vector<QString> all = [] {
        std::vector<QString> list;
        const QString letters = s(u"acehkmoprstwyzACEHKMOPRSTWYZ"
                                  u"квилстунКВИЛСТУНдомДОМсСтТоОвВ"
                                  u"ßẞſıİiIσςΣίΊωΩΩkKKµμΜÅåÅ"
                                  u"\u1C80\u1C81\u1C82\u1C83\u1C84\u1C85\u1C86\u1E9B");
        for (const QChar letter : letters)
            list.push_back(QString(letter));
        for (const QString& piece :
             {s(u"."),         s(u"-"),          s(u"_"),          s(u" "),
              s(u"\t"),        s(u"\n"),         s(u"\r"),         s(u"+"),
              s(u"("),         s(u"0"),          s(u"7"),          s(u"٣"),
              s(u"३"),         s(u"７"),         s(u"\u3000"),     s(u"\u00A0"),
              s(u"beta"),      s(u"BETA"),       s(u"bet"),        s(u"Beta2"),
              s(u"\uFFFD"),    s(u"\U0001F600"), s(u"\U00010400"), s(u"\U00010428"),
              units({0xDCC3}), units({0xD83D}),  units({0xDE00}),  units({0x0000})})
            list.push_back(piece);
        return list;
    }();
    return all;
}

// The key, its case variants, each with a rest that may or may not be
// permitted, and random mutations of all of them.
std::vector<QString> candidatesFor(const QString& key, std::mt19937& random) {
    std::vector<QString> seeds = {key, key.toUpper(), key.toLower(), key.toCaseFolded(),
                                  key.left(key.size() - 1)};
    std::vector<QString> candidates;
    for (const QString& seed : seeds) {
        candidates.push_back(seed);
        for (const QString& piece : pieces())
            candidates.push_back(seed + piece + s(u"tail"));
    }
    std::uniform_int_distribution<size_t> pick(0, pieces().size() - 1);
    for (int round = 0; round < 400; ++round) {
        QString candidate = seeds.at(size_t(round) % seeds.size());
        const int edits = 1 + round % 3;
        for (int edit = 0; edit < edits; ++edit) {
            const qsizetype at = qsizetype(random() % size_t(candidate.size() + 1));
            switch (random() % 3) {
            case 0:
                candidate.insert(at, pieces().at(pick(random)));
                break;
            case 1:
                candidate.replace(at, 1, pieces().at(pick(random)));
                break;
            default:
                candidate.remove(at, 1);
            }
        }
        candidates.push_back(candidate);
    }
    return candidates;
}

TEST(KeyPatternDifferential, literalAnswersEqualTheExpressionsOnRandomAndHostileNames) {
    std::mt19937 random(20240607);
    for (const QString& key : keys()) {
        for (const Kind kind : {Kind::identifier, Kind::name}) {
            const KeyPattern pattern(key, kind);
            int matched = 0;
            for (const QString& candidate : candidatesFor(key, random))
                matched += agreed(pattern, candidate);
            EXPECT_GT(matched, 0) << qPrintable(key);
        }
    }
}

TEST(KeyPatternDifferential, randomNamesAgainstAsciiKeys) {
    std::mt19937 random(7);
    const KeyPattern identifier(s(u"com.acme.sketcher"), Kind::identifier);
    const KeyPattern name(s(u"Sketcher"), Kind::name);
    std::uniform_int_distribution<size_t> pick(0, pieces().size() - 1);
    for (int round = 0; round < 3000; ++round) {
        QString candidate = round % 2 ? s(u"com.acme.") : s(u"ske");
        for (int length = int(random() % 12); length > 0; --length)
            candidate += pieces().at(pick(random));
        agreed(identifier, candidate);
        agreed(name, candidate);
    }
}

TEST(KeyPatternDifferential, namesAnswerAsTheirSubjectsOnRandomAndHostileNames) {
    std::mt19937 random(20240608);
    const auto matchedOf = [](const KeyPattern& pattern, const std::vector<QString>& names) {
        return std::count_if(names.cbegin(), names.cend(), [&pattern](const QString& name) {
            return agreedAsName(pattern, name);
        });
    };
    for (const QString& key : keys()) {
        const std::vector<QString> names = candidatesFor(key, random);
        EXPECT_GT(matchedOf(KeyPattern(key, Kind::identifier), names), 0) << qPrintable(key);
        EXPECT_GT(matchedOf(KeyPattern(key, Kind::name), names), 0) << qPrintable(key);
    }
    std::vector<QString> names;
    std::uniform_int_distribution<size_t> pick(0, pieces().size() - 1);
    while (names.size() < 3000) {
        names.push_back(names.size() % 2 ? s(u"com.acme.") : s(u"c"));
        for (int length = int(random() % 12); length > 0; --length)
            names.back() += pieces().at(pick(random));
    }
    matchedOf(KeyPattern(s(u"com.acme.sketcher"), Kind::identifier), names);
}

// A plain ASCII key refuses names by their first unit, their length and the
// unit under its last one, which holds only if every character the engine
// pairs with an ASCII one ignoring case is one unit long.
TEST(KeyPatternLiteral, onlySingleUnitsOutsideAsciiAreCaseVariantsOfAscii) {
    QString everyCodePoint;
    for (char32_t codePoint = 0x80; codePoint <= 0x10FFFF; ++codePoint) {
        if (!QChar::isSurrogate(codePoint))
            everyCodePoint += QString::fromUcs4(&codePoint, 1);
    }
    const QRegularExpression ascii(QStringLiteral(R"([\x{0}-\x{7f}])"),
                                   QRegularExpression::CaseInsensitiveOption |
                                       QRegularExpression::UseUnicodePropertiesOption);
    QString variants;
    for (auto it = ascii.globalMatch(everyCodePoint); it.hasNext();)
        variants += it.next().captured();
    EXPECT_EQ(variants, s(u"\u017F\u212A"));
}

TEST(KeyPatternLiteral, namesAreRefusedOnTheirFirstAndLastUnitsOnlyWhenAscii) {
    struct Case {
        QString key;
        QString name;
        bool matches;
    };
    const QString lone = units({0xDCC3});
    const std::vector<Case> cases = {
        {s(u"kit.kelvin"), s(u"\u212Ait.\u212Aelvin"), true},
        {s(u"kit.kelvin"), s(u"kit.kelvi"), false},
        {s(u"kit.kelvin"), s(u"\U0001F600it.kelvin"), false},
        {s(u"kit.kelvin"), s(u"kit.\U0001F600elvin"), false},
        {s(u"kit.kelvin"), s(u"kit.kelvi") + units({0xDC6E}), false},
        {s(u"Sketches"), s(u"\u017Fketche\u017F 2"), true},
        {s(u"Sketches"), lone + s(u"ketches"), false},
        {lone + s(u"cole"), lone + s(u"COLE.log"), true},
        {lone + s(u"cole"), units({0xDCC4}) + s(u"cole"), false},
        {lone + s(u"cole"), s(u"\uFFFDcole"), false},
        {s(u"\U00010400ome"), s(u"\U00010428OME"), true},
        {s(u"\U00010400ome"), s(u"\U00010401ome"), false},
        {s(u"Дом.Вод"), s(u"дом.вод"), true},
        {s(u"Дом.Вод"), s(u"Дом"), false},
        {s(u"Дом.Вод"), s(u""), false},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(agreedAsName(KeyPattern(test.key, Kind::name), test.name), test.matches)
            << qPrintable(test.key) << " / " << qPrintable(test.name);
    }
}

TEST(KeyPatternLiteral, caseVariantsOutsideAsciiAreDecidedLikeTheExpression) {
    const KeyPattern kelvin(s(u"kit.kelvin"), Kind::identifier);
    EXPECT_TRUE(agreed(kelvin, s(u"\u212Ait.KELVIN")));
    EXPECT_TRUE(agreed(kelvin, s(u"kit.kelvin beta")));
    EXPECT_TRUE(agreed(kelvin, s(u"kit.kelvinBeTa")));
    EXPECT_FALSE(agreed(kelvin, s(u"kit.kelvinbet")));
    EXPECT_FALSE(agreed(kelvin, s(u"kit.kelvins")));
    const KeyPattern cyrillic(s(u"Дом.Вод"), Kind::name);
    EXPECT_TRUE(agreed(cyrillic, s(u"дом.вод")));
    EXPECT_TRUE(agreed(cyrillic, s(u"ДОМ.ВОД٣")));
    EXPECT_FALSE(agreed(cyrillic, s(u"ДОМ.ВОДА")));
    EXPECT_FALSE(agreed(cyrillic, s(u"дом.во")));
    const KeyPattern sharp(s(u"ßtraße"), Kind::name);
    EXPECT_FALSE(agreed(sharp, s(u"sstrasse")));
}

TEST(KeyPatternLiteral, restAfterTheKeyFollowsTheKind) {
    const KeyPattern identifier(s(u"com.acme"), Kind::identifier);
    const KeyPattern name(s(u"com.acme"), Kind::name);
    for (const QString& rest : {s(u""), s(u".x"), s(u"-x"), s(u"_x"), s(u" x"), s(u"3x")}) {
        EXPECT_TRUE(agreed(identifier, s(u"COM.acme") + rest));
        EXPECT_TRUE(agreed(name, s(u"COM.acme") + rest));
    }
    EXPECT_TRUE(agreed(identifier, s(u"com.acmebeta")));
    EXPECT_FALSE(agreed(name, s(u"com.acmebeta")));
    EXPECT_FALSE(agreed(identifier, s(u"com.acmex")));
    EXPECT_FALSE(agreed(identifier, s(u"com.acme\tx")));
}

TEST(KeyPatternLiteral, loneSurrogatesMatchOnlyThemselves) {
    const KeyPattern pattern(s(u"Caf") + units({0xDCC3}), Kind::name);
    EXPECT_TRUE(agreed(pattern, s(u"caf") + units({0xDCC3}) + s(u" x")));
    EXPECT_FALSE(agreed(pattern, s(u"caf") + units({0xDCC4})));
    EXPECT_FALSE(agreed(pattern, s(u"caf\uFFFD")));
    EXPECT_EQ(KeyPattern::subject(s(u"plain")), s(u"plain"));
    EXPECT_NE(KeyPattern::subject(units({0xDCC3})), KeyPattern::subject(s(u"\uFFFD")));
}

TEST(KeyPatternLiteral, keysTooLongForTheEngineMatchLikeTheirExpression) {
    const QString key = s(u"org.") + QString(40000, u'é');
    const KeyPattern pattern(key, Kind::identifier);
    agreed(pattern, key);
    agreed(pattern, key + s(u".plist"));
}

// A set answers as its keys one by one: the index by first units refuses no
// name that a key would take, whatever the keys and the names begin with.
TEST(KeySet, answersAsItsKeysWhateverTheyBeginWith) {
    const std::vector<std::vector<QString>> sets = {
        {s(u"com.acme.Sketcher"), s(u"com.acme.Sketcher.helper"), s(u"kit.kelvin")},
        {s(u"Sketcher Pro"), s(u"Квиллстоун"), units({0xDCC3}) + s(u"cole"), s(u"\U00010400ome"),
         s(u"ßtraße")},
    };
    std::mt19937 random(11);
    for (const std::vector<QString>& keyTexts : sets) {
        KeySet set(Kind::identifier);
        std::vector<KeyPattern> patterns;
        for (const QString& key : keyTexts) {
            set.add(key, int(key.size()));
            patterns.emplace_back(key, Kind::identifier);
        }
        int matched = 0;
        for (const QString& seed : keys()) {
            for (const QString& candidate : candidatesFor(seed, random)) {
                const KeyCandidate name(candidate);
                QList<int> expected;
                for (size_t i = 0; i < patterns.size(); ++i) {
                    if (patterns.at(i).matches(KeyPattern::subject(candidate)))
                        expected.append(int(keyTexts.at(i).size()));
                }
                EXPECT_EQ(set.matchLengths(name), expected) << qPrintable(candidate);
                EXPECT_EQ(set.anyMatches(name), !expected.isEmpty());
                EXPECT_EQ(
                    set.longestMatch(name),
                    expected.isEmpty() ? 0 : *std::max_element(expected.cbegin(), expected.cend()));
                matched += !expected.isEmpty();
            }
        }
        EXPECT_GT(matched, 0);
    }
    KeySet ascii(Kind::identifier);
    ascii.add(s(u"kit.kelvin"), 10);
    const QString kelvinFirst = s(u"\u212Ait.kelvin");
    EXPECT_EQ(ascii.longestMatch(KeyCandidate(kelvinFirst)), 10);
    KeySet empty(Kind::name);
    for (const QString& candidate : {s(u"anything"), s(u"\u212Ait"), s(u"")})
        EXPECT_FALSE(empty.anyMatches(KeyCandidate(candidate)));
}

} // namespace
} // namespace moss
