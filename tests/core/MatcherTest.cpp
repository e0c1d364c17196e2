#include "Matcher.h"

#include "AppBundle.h"
#include "Text.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace moss {
namespace {

using Strength = Matcher::Strength;
using Kind = Matcher::Match::Kind;
using Match = Matcher::Match;
using test::s;
using test::units;
constexpr std::nullopt_t none = std::nullopt;
constexpr Strength S = Strength::strong, W = Strength::weak;

Matcher sketcher() {
    return Matcher({s(u"com.acme.Sketcher"), s(u"com.acme.Sketcher.helper")},
                   {s(u"Sketcher Pro"), s(u"Sketcher")}, s(u"ABCDE12345"));
}

// One query of a matcher and its expected strength.
using Query = std::tuple<const Matcher&, QString, std::optional<Strength>>;

// Checks each query's strength, and that explain() tells the same strength.
void expectStrengths(const std::vector<Query>& queries, bool group = false) {
    for (const auto& [m, candidate, expected] : queries) {
        const std::optional<Match> match =
            group ? m.explainGroupContainer(candidate) : m.explain(candidate, true);
        EXPECT_EQ(group ? m.groupContainerStrength(candidate) : m.strength(candidate, true),
                  expected)
            << candidate.left(60).toStdString();
        EXPECT_EQ(match ? std::optional(match->strength) : none, expected);
    }
}

TEST(MatcherConstruction, keysAreNormalisedDeduplicatedAndFiltered) {

    // Identifiers need two non-blank dot-separated parts; names of searched
    // folders (any case) and generic or short names are no keys; Cyrillic
    // keys are counted in characters; names are deduplicated ignoring case.
    const QSet<QString> reserved{s(u"byhost"), s(u"autostart")};
    // Identifiers and names given, and the keys kept.
    const std::tuple<QStringList, QStringList, QStringList> rows[] = {
        {{s(u"com"), s(u"  com  "), s(u".com."), s(u"com. ."), s(u"helper"), s(u"ab")}, {}, {}},
        {{s(u"ру.ко.п")}, {s(u"Дом"), s(u"Дача")}, {s(u"ру.ко.п"), s(u"Дача")}},
        {{}, {s(u"ByHost"), s(u"Autostart.app")}, {s(u"Autostart.app")}}};
    for (const auto& [identifiers, names, keys] : rows) {
        const Matcher m(identifiers, names, none, Matcher::NameRules::bundle, reserved);
        EXPECT_EQ(m.identifiers() + m.names(), keys);
    }
    EXPECT_EQ(Matcher({}, {s(u"ByHost")}, none).names(), QStringList{s(u"ByHost")});

    const std::pair<QString, QString> identifiers[] = {
        {s(u" com.acme.Sketcher-beta3 "), s(u"com.acme.Sketcher")},
        // Line breaks are not trimmed, and nothing after one is a suffix.
        {s(u"com.foo.bar1\n"), s(u"com.foo.bar1\n")},
        {s(u"com.acme.App") + s(u".1").repeated(100'000), s(u"com.acme.App")}};
    for (const auto& [given, expected] : identifiers)
        EXPECT_EQ(Matcher::normalizeIdentifier(given), expected);

    const QString spaces(100'000, u' ');
    const std::pair<QString, QStringList> names[] = {
        // White space of every kind is trimmed, line breaks included.
        {s(u"\r\n\u2028Photo Lab\n"), {s(u"Photo Lab"), s(u"PhotoLab"), s(u"Photo-Lab")}},
        {s(u"Tool") + spaces + s(u"Lite") + spaces + s(u"2.0"),
         {s(u"Tool"), s(u"Tool"), s(u"Tool")}}};
    for (const auto& [given, variants] : names)
        EXPECT_EQ(Matcher::nameVariants(given), QStringList{given} + variants);
    EXPECT_EQ(Matcher::uniqueNames({s(u""), s(u"Дача"), s(u"ДАЧА"), s(u"Foo"), s(u"foo")}),
              QStringList({s(u"Дача"), s(u"Foo")}));

    const std::pair<QString, Strength> tails[] = {
        {s(u"-ｄｅａｄ ＦＡＣＥ"), S}, {s(u"-deadbeeg"), W},
        {s(u"_2023-01-05 notes"), S},  {s(u" 2023-01-05 notes"), W}, // no underscore, no stamp
        {s(u" e\u0301e\u0301"), S},                                  // two characters
    };
    for (const auto& [tail, expected] : tails)
        EXPECT_EQ(Matcher::tailStrength(tail), expected) << tail.toStdString();
}

TEST(MatcherStrength, keyThenTailAndIdentifierLengths) {
    const Matcher matcher = sketcher();
    // The key Sketcher, tried first, leaves "pro helper" (weak); Sketcher Pro
    // leaves "helper" (strong): the strongest wins.
    const Matcher twoKeys({}, {s(u"Sketcher"), s(u"Sketcher Pro")}, none);
    // Six letters with combining marks: the tail starts after six characters,
    // not six code units.
    const QString combining = s(u"a\u0303b\u0303c\u0303n\u0303o\u0303t\u0303");
    const Matcher marks({}, {combining}, none);
    expectStrengths({{matcher, s(u"com.acme.SketcherBeta"), S},
                     {matcher, s(u"sketcherpro.savedState"), S},
                     {twoKeys, s(u"Sketcher Pro helper"), S},
                     {marks, combining + s(u" helper"), S}});
    // Without names only identifiers count.
    EXPECT_EQ(matcher.strength(s(u"Sketcher Helper"), false), none);
    EXPECT_EQ(matcher.strength(s(u"com.acme.Sketcher.plist"), false), S);

    const Matcher e2023({s(u" com.vendor.TaxMac2023\t")}, {}, none);
    const Matcher e2024({s(u"com.vendor.TaxMac2024")}, {}, none);
    // Exact identifiers need three characters.
    const Matcher short3({s(u"ab"), s(u"  a.c "), s(u"com.vendor.Boom2")}, {}, none);
    // The key set's index by first units refuses no case variant outside ASCII.
    EXPECT_EQ(Matcher({s(u"kit.kelvin")}, {}, none).identifierMatchLength(s(u"\u212Ait.kelvin")),
              10);
    const std::tuple<const Matcher&, QString, int, int> lengths[] = {
        {matcher, s(u"com.acme.Sketcher.helper.plist"), 24, 24},
        {e2023, s(u"com.vendor.TaxMac2023.plist"), 17, 21},
        {e2024, s(u"com.vendor.TaxMac2023.plist"), 17, 0},
        {short3, s(u"a.c.plist"), 3, 3},
        {short3, s(u"com.vendor.Boom2.plist"), 15, 16}};
    for (const auto& [which, candidate, length, exactLength] : lengths) {
        EXPECT_EQ(which.identifierMatchLength(candidate), length) << candidate.toStdString();
        EXPECT_EQ(which.exactIdentifierMatchLength(candidate), exactLength);
    }
}

TEST(MatcherGroupContainers, groupIdentifiersTeamPrefixesAndExplanations) {
    const Matcher team = sketcher();
    const Matcher emptyTeam({s(u"com.acme.Sketcher")}, {s(u"Sketcher")}, s(u""));
    // Once the team prefix is recognised it decides alone.
    const Matcher comTeam({s(u"com.acme.Sketcher")}, {}, s(u"COM"));
    expectStrengths({{team, s(u"group.com.acme.Sketcher"), S},
                     {team, s(u"ABCDE12345.SketcherPro"), W},
                     {team, s(u"ABCDE12345.com.acme.shared"), none},
                     {emptyTeam, s(u".com.acme.Sketcher"), none},
                     {comTeam, s(u"group.com.acme.Sketcher"), none},
                     {comTeam, s(u"group.com.com.acme.Sketcher"), S}},
                    true);

    // What explains a match: the kind and the key that decided it.
    const Matcher& matcher = team;
    const Matcher book({}, {s(u"Sketch"), s(u"Sketch Book")}, none);
    const auto match = [](Kind kind, const char16_t* key, Strength strength) {
        return Match{kind, s(key), strength};
    };
    // The longest identifier; a later key that leaves a harmless tail, not the first.
    EXPECT_EQ(matcher.explain(s(u"com.acme.sketcher.helper.plist"), true),
              match(Kind::identifier, u"com.acme.Sketcher.helper", S));
    EXPECT_EQ(matcher.explain(s(u"sketcher-pro 2"), true), match(Kind::name, u"Sketcher-Pro", S));
    EXPECT_EQ(book.explain(s(u"Sketch Book helper"), true), match(Kind::name, u"Sketch Book", S));
    EXPECT_EQ(matcher.explainGroupContainer(s(u"ABCDE12345.SketcherPro")),
              match(Kind::team, u"ABCDE12345", W));
    // Installers: the first name key, whatever follows it.
    EXPECT_EQ(matcher.matchingName(s(u"Sketcher Pro-2.3")), s(u"Sketcher Pro"));
}

// A Linux application's names: short and common ones claim only the whole
// name, weakly; extension words and "rc" may follow a name; a Flatpak or a
// Snap has no name keys; a bundle keeps its rules.
TEST(MatcherLinuxRules, wholeNamesExtensionWordsAndRc) {
    AppBundle app;
    app.source = AppSource::localEntry;
    app.bundleIdentifier = s(u"org.kde.dolphin");
    app.names = {s(u"Dolphin"), s(u"Files"), s(u"vlc"), s(u"Go")};
    const Matcher linux(app);
    EXPECT_EQ(linux.names(), QStringList{s(u"Dolphin")});
    EXPECT_EQ(linux.exactNames(), (QStringList{s(u"Files"), s(u"vlc")}));
    expectStrengths({{linux, s(u"dolphinrc"), S},
                     {linux, s(u"dolphin notes"), W},
                     {linux, s(u"dolphinarium"), none},
                     {linux, s(u"VLCrc"), W},
                     {linux, s(u"vlc-backup"), none}});
    EXPECT_EQ(linux.explain(s(u"vlc"), true)->key, s(u"vlc"));

    app.source = AppSource::bundle;
    EXPECT_EQ(Matcher(app).strength(s(u"dolphinrc"), true), none);
    app.source = AppSource::snap;
    EXPECT_EQ(Matcher(app).strength(s(u"dolphin"), true), none);
}

TEST(MatcherOddCandidates, mentionsLineBreaksNulsSurrogatesAndHugeNames) {
    const Matcher plain({s(u"com.acme.Sketcher")}, {s(u"Sketcher")}, none);
    const QString app = s(u"/Applications/Sketcher.app");
    EXPECT_TRUE(plain.mentions(s(u"com.acme.sketcher.agent"), none));
    EXPECT_FALSE(plain.mentions(s(u"com.acme.sketcherx"), none));
    EXPECT_TRUE(plain.mentions(s(u"/APPLICATIONS/Sketcher.app/Contents/MacOS/Sketcher"), app));
    // An empty path is contained in every text; it mentions nothing.
    EXPECT_FALSE(plain.mentions(s(u"anything"), s(u"")));

    const Matcher full = sketcher();
    const QString lone = units({0xDC80});
    const QString nul(QChar(u'\0'));
    const QString filler(1'000'000, u'x');
    const QString helpers = s(u"helper ").repeated(100'000);
    // The whole candidate must have the shape key + allowed suffix.
    expectStrengths({{full, s(u"com.acme.Sketcher\n"), none},
                     {full, s(u"com.acme.Sketcher.plist\nmore"), S},
                     {full, s(u"Sketcher") + lone, none},
                     // A high surrogate at the very end.
                     {full, s(u"Sketcher.") + units({0xD83D}), S},
                     {full, s(u"com.acme.Sketcher.") + filler, S},
                     {full, s(u"Sketcher ") + helpers, S}});

    EXPECT_FALSE(full.matchesIdentifier(s(u"com.acme.Sketcher") + nul + s(u"x")));
    const Matcher nulKey({s(u"com.acme.Nul") + nul + s(u"Key")}, {}, none);
    EXPECT_TRUE(nulKey.matchesIdentifier(nulKey.identifiers().first() + s(u".plist")));
    // A NUL before digits stays a NUL, not the start of an octal escape.
    const QString nulName = s(u"Tool") + nul + s(u"12b");
    const Matcher nulDigits({}, {nulName}, none);
    EXPECT_TRUE(nulDigits.matchesName(nulName + s(u".plist")));
    // Keys too long for the engine match nothing, and spoil no other key.
    const QString huge(100'000, QChar(0x0436));
    const Matcher hugeKeys({s(u"com.acme.") + huge}, {huge, s(u"Sketcher")}, none);
    EXPECT_FALSE(hugeKeys.matchesName(huge));
    EXPECT_EQ(hugeKeys.identifierMatchLength(s(u"com.acme.") + huge), 0);
    EXPECT_EQ(hugeKeys.strength(s(u"Sketcher Helper"), true), S);
}

} // namespace
} // namespace moss
