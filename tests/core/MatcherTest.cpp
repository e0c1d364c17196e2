#include "Matcher.h"

#include "AppBundle.h"
#include "Text.h"

#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

namespace moss {
namespace {

using Strength = Matcher::Strength;

using test::s;
using test::units;

Matcher sketcher() {
    return Matcher({s(u"com.acme.Sketcher"), s(u"com.acme.Sketcher.helper")},
                   {s(u"Sketcher Pro"), s(u"Sketcher")}, s(u"ABCDE12345"));
}

TEST(MatcherConstruction, keepsNormalisedIdentifiersAndNameVariants) {
    const Matcher matcher = sketcher();
    EXPECT_EQ(matcher.identifiers(),
              QStringList({s(u"com.acme.Sketcher"), s(u"com.acme.Sketcher.helper")}));
    EXPECT_EQ(matcher.names(), QStringList({s(u"Sketcher Pro"), s(u"SketcherPro"),
                                            s(u"Sketcher-Pro"), s(u"Sketcher")}));
    EXPECT_EQ(matcher.teamIdentifier(), s(u"ABCDE12345"));
}

TEST(MatcherConstruction, fromBundleUsesAllIdentifiersNamesAndTeam) {
    AppBundle bundle;
    bundle.bundleIdentifier = s(u"com.acme.Sketcher");
    bundle.nestedIdentifiers = {s(u"com.acme.Sketcher.helper"), s(u"COM.ACME.SKETCHER")};
    bundle.names = {s(u"Sketcher Pro"), s(u"Sketcher")};
    bundle.teamIdentifier = s(u"ABCDE12345");
    const Matcher matcher(bundle);
    const Matcher expected = sketcher();
    EXPECT_EQ(matcher.identifiers(), expected.identifiers());
    EXPECT_EQ(matcher.names(), expected.names());
    EXPECT_EQ(matcher.teamIdentifier(), expected.teamIdentifier());
}

TEST(MatcherConstruction, dropsShortAndGenericKeys) {
    const Matcher matcher({s(u"ab"), s(u"x"), s(u"com.acme"), s(u"com.acme")},
                          {s(u"Helper"), s(u"Git"), s(u"Mail"), s(u"Plugins")}, std::nullopt);
    EXPECT_EQ(matcher.identifiers(), QStringList({s(u"com.acme"), s(u"com.acme")}));
    EXPECT_EQ(matcher.names(), QStringList({s(u"Mail")}));
}

TEST(MatcherConstruction, degenerateAndReservedKeysAreNotKeys) {
    const QSet<QString> reserved{s(u"byhost"), s(u"diagnosticreports"), s(u"crashreporter"),
                                 s(u"autostart")};
    struct Row {
        QStringList given;
        QStringList keys;
    };
    // Identifiers need two dot-separated parts that are not blank.
    for (const Row& row : std::vector<Row>{
             {{s(u"com")}, {}},
             {{s(u"  com  ")}, {}},
             {{s(u".com.")}, {}},
             {{s(u"com. .")}, {}},
             {{s(u"helper")}, {}},
             {{s(u"com.acme")}, {s(u"com.acme")}},
             {{s(u" com.acme.Tool-beta2 ")}, {s(u"com.acme.Tool")}},
         }) {
        const Matcher matcher(row.given, {}, std::nullopt, Matcher::NameRules::bundle, reserved);
        EXPECT_EQ(matcher.identifiers(), row.keys) << row.given.join(u',').toStdString();
        for (const QString& candidate : {s(u"com.other.plist"), s(u"helper.plist")}) {
            EXPECT_EQ(matcher.identifierMatchLength(candidate), 0) << candidate.toStdString();
            EXPECT_EQ(matcher.exactIdentifierMatchLength(candidate), 0) << candidate.toStdString();
        }
    }
    // Names of searched folders are no name keys, whatever their letter case.
    for (const Row& row : std::vector<Row>{
             {{s(u"ByHost")}, {}},
             {{s(u"DIAGNOSTICREPORTS")}, {}},
             {{s(u"Autostart.app")}, {s(u"Autostart.app")}},
             {{s(u"CrashReporter 2")}, {s(u"CrashReporter 2")}},
             {{s(u"Sketcher")}, {s(u"Sketcher")}},
         }) {
        EXPECT_EQ(
            Matcher({}, row.given, std::nullopt, Matcher::NameRules::bundle, reserved).names(),
            row.keys)
            << row.given.join(u',').toStdString();
    }
    EXPECT_EQ(Matcher({}, {s(u"ByHost")}, std::nullopt).names(), QStringList{s(u"ByHost")});
}

TEST(MatcherConstruction, deduplicatesNameKeysIgnoringCase) {
    const Matcher matcher({}, {s(u"Foo Bar"), s(u"foo bar")}, std::nullopt);
    EXPECT_EQ(matcher.names(), QStringList({s(u"Foo Bar"), s(u"FooBar"), s(u"Foo-Bar")}));
}

TEST(MatcherConstruction, countsCyrillicKeysInCharacters) {
    const Matcher matcher({s(u"ру.ко.п")}, {s(u"Дом"), s(u"Дача")}, std::nullopt);
    EXPECT_EQ(matcher.identifiers(), QStringList({s(u"ру.ко.п")}));
    EXPECT_EQ(matcher.names(), QStringList({s(u"Дача")}));
}

TEST(MatcherStatics, wordSets) {
    EXPECT_EQ(Matcher::genericNames().size(), 38);
    EXPECT_EQ(Matcher::ownSuffixWords().size(), 35);
    EXPECT_TRUE(Matcher::genericNames().contains(s(u"electron")));
    EXPECT_TRUE(Matcher::ownSuffixWords().contains(s(u"binarycookies")));
    EXPECT_FALSE(Matcher::ownSuffixWords().contains(s(u"notes")));
    EXPECT_EQ(Matcher::genericNames(),
              (QSet<QString>{s(u"app"),       s(u"apps"),    s(u"helper"),    s(u"launcher"),
                             s(u"agent"),     s(u"daemon"),  s(u"service"),   s(u"update"),
                             s(u"updater"),   s(u"setup"),   s(u"installer"), s(u"uninstaller"),
                             s(u"plugin"),    s(u"plugins"), s(u"data"),      s(u"cache"),
                             s(u"caches"),    s(u"logs"),    s(u"user"),      s(u"users"),
                             s(u"default"),   s(u"common"),  s(u"shared"),    s(u"library"),
                             s(u"support"),   s(u"mac"),     s(u"macos"),     s(u"desktop"),
                             s(u"client"),    s(u"server"),  s(u"tools"),     s(u"utility"),
                             s(u"utilities"), s(u"google"),  s(u"apple"),     s(u"microsoft"),
                             s(u"adobe"),     s(u"electron")}));
    EXPECT_EQ(Matcher::ownSuffixWords(),
              (QSet<QString>{s(u"helper"),      s(u"helpers"),       s(u"updater"), s(u"update"),
                             s(u"updates"),     s(u"launcher"),      s(u"agent"),   s(u"daemon"),
                             s(u"service"),     s(u"crashpad"),      s(u"crashes"), s(u"shipit"),
                             s(u"gpu"),         s(u"renderer"),      s(u"plugin"),  s(u"plugins"),
                             s(u"cache"),       s(u"caches"),        s(u"data"),    s(u"logs"),
                             s(u"log"),         s(u"backup"),        s(u"backups"), s(u"settings"),
                             s(u"prefs"),       s(u"preferences"),   s(u"support"), s(u"installer"),
                             s(u"uninstaller"), s(u"app"),           s(u"diag"),    s(u"plist"),
                             s(u"savedstate"),  s(u"binarycookies"), s(u"crash")}));
}

TEST(MatcherStatics, normalizeIdentifier) {
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u" com.acme.Sketcher-beta3 ")),
              s(u"com.acme.Sketcher"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"com.foo.app2")), s(u"com.foo.app"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"com.foo.bar.1")), s(u"com.foo.bar"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"com.foo.1")), s(u"com.foo.1"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"com.acme")), s(u"com.acme"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"\tcom.acme.Tool.NIGHTLY")), s(u"com.acme.Tool"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"com.vendor.TaxMac2023")), s(u"com.vendor.TaxMac"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"2023")), s(u"2023"));
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"ру.пример.Редактор_dev-1")),
              s(u"ру.пример.Редактор"));
    // Line breaks are not trimmed, and nothing after one is taken for a suffix.
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"com.foo.bar1\n")), s(u"com.foo.bar1\n"));
    EXPECT_EQ(Matcher::normalizeIdentifier(units({u'a', u'.', u'b', u'.', 0xDC80, u'.', u'7'})),
              units({u'a', u'.', u'b', u'.', 0xDC80}));
}

TEST(MatcherStatics, nameVariants) {
    EXPECT_EQ(
        Matcher::nameVariants(s(u"Sketcher Beta 2.app")),
        QStringList({s(u"Sketcher Beta 2.app"), s(u"Sketcher"), s(u"Sketcher"), s(u"Sketcher")}));
    EXPECT_EQ(Matcher::nameVariants(s(u"2048")),
              QStringList({s(u"2048"), s(u"2048"), s(u"2048"), s(u"2048")}));
    EXPECT_EQ(Matcher::nameVariants(s(u"Photo Lab Lite 3.1.application")),
              QStringList({s(u"Photo Lab Lite 3.1.application"), s(u"Photo Lab"), s(u"PhotoLab"),
                           s(u"Photo-Lab")}));
    EXPECT_EQ(Matcher::nameVariants(s(u"Мой Редактор_trial")),
              QStringList({s(u"Мой Редактор_trial"), s(u"Мой Редактор"), s(u"МойРедактор"),
                           s(u"Мой-Редактор")}));
    // White space of every kind is trimmed, line breaks included.
    EXPECT_EQ(Matcher::nameVariants(s(u"\r\n\u2028Photo Lab\n")),
              QStringList(
                  {s(u"\r\n\u2028Photo Lab\n"), s(u"Photo Lab"), s(u"PhotoLab"), s(u"Photo-Lab")}));
}

TEST(MatcherStatics, uniqueNamesKeepsFirstSpellingAndSkipsEmpty) {
    EXPECT_EQ(Matcher::uniqueNames({s(u""), s(u"Дача"), s(u"ДАЧА"), s(u"Foo"), s(u"foo")}),
              QStringList({s(u"Дача"), s(u"Foo")}));
}

TEST(MatcherStatics, tailStrength) {
    EXPECT_EQ(Matcher::tailStrength(QString()), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u" helper (gpu) 2.1")), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u"_2023-01-05-101010_host.crash")), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u" notes_2023-01-05")), Strength::weak);
    EXPECT_EQ(Matcher::tailStrength(s(u"-deadbeef")), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u"-ｄｅａｄ ＦＡＣＥ")), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u"-deadbeeg")), Strength::weak);
    EXPECT_EQ(Matcher::tailStrength(s(u" ab ёж")), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u" заметки")), Strength::weak);
    // Compared exactly: callers lower-case the tail.
    EXPECT_EQ(Matcher::tailStrength(s(u" Helper")), Strength::weak);
    // Without its underscore a date is no stamp.
    EXPECT_EQ(Matcher::tailStrength(s(u"_2023-01-05 notes")), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u" 2023-01-05 notes")), Strength::weak);
    // Letters with combining marks count as one character each.
    EXPECT_EQ(Matcher::tailStrength(s(u" e\u0301e\u0301")), Strength::strong);
    EXPECT_EQ(Matcher::tailStrength(s(u" e\u0301e\u0301e\u0301")), Strength::weak);
}

struct Example {
    const char16_t* candidate;
    std::optional<Strength> expected;
};

TEST(MatcherStrength, workedExamples) {
    const Matcher matcher = sketcher();
    const Example examples[] = {
        {u"com.acme.Sketcher.plist", Strength::strong},
        {u"com.acme.sketcher2", Strength::strong},
        {u"com.acme.SketcherBeta", Strength::strong},
        {u"com.acme.Sketchers", std::nullopt},
        {u"Sketcher", Strength::strong},
        {u"Sketcher Helper", Strength::strong},
        {u"Sketcher (GPU)", Strength::strong},
        {u"Sketcher_2023-01-05-101010_host.crash", Strength::strong},
        {u"Sketcher-deadbeef", Strength::strong},
        {u"Sketcher Notes", Strength::weak},
        {u"Sketchbook", std::nullopt},
        {u"Sketcher 2.1 (3)", Strength::strong},
        {u"Sketcher ab", Strength::strong},
        {u"Sketcher Заметки", Strength::weak},
        {u"SKETCHER PRO Notes", Strength::weak},
        {u"sketcherpro.savedState", Strength::strong},
    };
    for (const Example& example : examples) {
        const QString candidate = s(example.candidate);
        EXPECT_EQ(matcher.strength(candidate, true), example.expected) << candidate.toStdString();
    }
}

TEST(MatcherStrength, withoutNamesOnlyIdentifiersCount) {
    const Matcher matcher = sketcher();
    EXPECT_EQ(matcher.strength(s(u"Sketcher Helper"), false), std::nullopt);
    EXPECT_EQ(matcher.strength(s(u"Sketcher"), false), std::nullopt);
    EXPECT_EQ(matcher.strength(s(u"com.acme.Sketcher.plist"), false), Strength::strong);
}

TEST(MatcherStrength, bestTailAmongMatchingKeys) {
    // "Sketcher Pro helper": the key Sketcher, tried first, leaves "pro helper"
    // (weak); the key Sketcher Pro leaves "helper" (strong). The strongest wins.
    const Matcher matcher({}, {s(u"Sketcher"), s(u"Sketcher Pro")}, std::nullopt);
    EXPECT_EQ(matcher.names().first(), s(u"Sketcher"));
    EXPECT_EQ(matcher.strength(s(u"Sketcher Pro helper"), true), Strength::strong);
}

TEST(MatcherStrength, cyrillicKeys) {
    const Matcher matcher({s(u"ру.пример.Редактор")}, {s(u"Редактор Плюс")}, std::nullopt);
    EXPECT_EQ(matcher.strength(s(u"РУ.ПРИМЕР.редактор.plist"), true), Strength::strong);
    EXPECT_EQ(matcher.strength(s(u"редактор плюс helper"), true), Strength::strong);
    EXPECT_EQ(matcher.strength(s(u"РедакторПлюс Кэш"), true), Strength::weak);
    EXPECT_EQ(matcher.strength(s(u"Редактор-Плюс-1f"), true), Strength::strong);
    EXPECT_EQ(matcher.strength(s(u"Редактор Плюсы"), true), std::nullopt);
}

TEST(MatcherStrength, tailDropsTheKeysCharactersNotCodeUnits) {
    // Six letters with combining tildes: twelve code units. Dropping only six
    // code units would leave three of the key's own letters in the tail.
    const QString key = s(u"a\u0303b\u0303c\u0303n\u0303o\u0303t\u0303");
    const Matcher matcher({}, {key}, std::nullopt);
    EXPECT_EQ(characterCount(key), 6);
    EXPECT_EQ(matcher.strength(key + s(u" helper"), true), Strength::strong);
    EXPECT_EQ(matcher.strength(key + s(u" notes"), true), Strength::weak);
}

TEST(MatcherIdentifierLength, longestMatchingIdentifierCounts) {
    const Matcher matcher = sketcher();
    EXPECT_EQ(matcher.identifierMatchLength(s(u"com.acme.Sketcher.helper.plist")), 24);
    EXPECT_EQ(matcher.identifierMatchLength(s(u"com.acme.Sketcher.plist")), 17);
    EXPECT_EQ(matcher.identifierMatchLength(s(u"Sketcher")), 0);

    const Matcher example({s(u"com.example.app"), s(u"com.example.app.helper")}, {}, std::nullopt);
    EXPECT_EQ(example.identifierMatchLength(s(u"com.example.app.helper")), 22);
    EXPECT_EQ(example.identifierMatchLength(s(u"com.example.app.other")), 15);
    EXPECT_EQ(Matcher({s(u"ру.пример.Редактор")}, {}, std::nullopt)
                  .identifierMatchLength(s(u"ру.пример.редактор.plist")),
              18);
}

TEST(MatcherIdentifierLength, exactIdentifiersTellEditionsApart) {
    const Matcher edition2023({s(u" com.vendor.TaxMac2023\t")}, {}, std::nullopt);
    const Matcher edition2024({s(u"com.vendor.TaxMac2024")}, {}, std::nullopt);
    EXPECT_EQ(edition2023.identifiers(), QStringList({s(u"com.vendor.TaxMac")}));
    for (const QString& name : {s(u"com.vendor.TaxMac2023.plist"), s(u"com.vendor.taxmac2023")}) {
        EXPECT_EQ(edition2023.identifierMatchLength(name), 17);
        EXPECT_EQ(edition2024.identifierMatchLength(name), 17);
        EXPECT_EQ(edition2023.exactIdentifierMatchLength(name), 21);
        EXPECT_EQ(edition2024.exactIdentifierMatchLength(name), 0);
    }
    EXPECT_EQ(edition2024.exactIdentifierMatchLength(s(u"com.vendor.TaxMac2024 Cache")), 21);
    EXPECT_EQ(edition2023.exactIdentifierMatchLength(s(u"com.vendor.TaxMac.plist")), 0);
    EXPECT_EQ(edition2024.exactIdentifierMatchLength(s(u"com.vendor.TaxMac.plist")), 0);
}

TEST(MatcherIdentifierLength, exactIdentifiersNeedThreeCharacters) {
    const Matcher matcher({s(u"ab"), s(u"  a.c "), s(u"com.vendor.Boom2")}, {}, std::nullopt);
    EXPECT_EQ(matcher.exactIdentifierMatchLength(s(u"ab.plist")), 0);
    EXPECT_EQ(matcher.exactIdentifierMatchLength(s(u"a.c.plist")), 3);
    EXPECT_EQ(matcher.exactIdentifierMatchLength(s(u"com.vendor.Boom2.plist")), 16);
    EXPECT_EQ(matcher.exactIdentifierMatchLength(s(u"com.vendor.Boom.plist")), 0);
}

TEST(MatcherNameClaims, strongNameMatchOnlyThroughNames) {
    const Matcher matcher = sketcher();
    EXPECT_TRUE(matcher.hasStrongNameMatch(s(u"Sketcher Helper")));
    EXPECT_FALSE(matcher.hasStrongNameMatch(s(u"Sketcher Notes")));
    EXPECT_FALSE(matcher.hasStrongNameMatch(s(u"com.acme.Sketcher.plist")));
    EXPECT_FALSE(Matcher({s(u"Sketcher")}, {}, std::nullopt).hasStrongNameMatch(s(u"Sketcher")));
    EXPECT_TRUE(matcher.matchesName(s(u"Sketcher Notes")));
    EXPECT_FALSE(matcher.matchesName(s(u"Sketchbook")));
    EXPECT_TRUE(matcher.matchesIdentifier(s(u"com.acme.sketcher.helper")));
    EXPECT_FALSE(matcher.matchesIdentifier(s(u"Sketcher")));
}

TEST(MatcherGroupContainers, withTeamIdentifier) {
    const Matcher matcher = sketcher();
    EXPECT_EQ(matcher.groupContainerStrength(s(u"group.com.acme.Sketcher")), Strength::strong);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"GROUP.com.acme.Sketcher.shared")),
              Strength::strong);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.SketcherPro")), Strength::weak);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"abcde12345.group.com.acme.Sketcher")),
              Strength::strong);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"group.ABCDE12345.com.acme.Sketcher")),
              Strength::strong);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.com.acme.shared")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"XYZ.com.acme.Sketcher")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"com.acme.Sketcher")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.group.other")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.my sketcher-pro files")),
              Strength::weak);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.sketch")), std::nullopt);
}

TEST(MatcherGroupContainers, withoutTeamIdentifierOnlyGroupNames) {
    const Matcher matcher({s(u"com.acme.Sketcher")}, {s(u"Sketcher")}, std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"group.com.acme.Sketcher")), Strength::strong);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.Sketcher")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.com.acme.Sketcher")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"group.Sketcher")), std::nullopt);
}

TEST(MatcherGroupContainers, teamPrefixDecidesAlone) {
    // Once the team prefix is recognised no other test is made, even when the
    // name would pass as "group." + identifier.
    const Matcher matcher({s(u"com.acme.Sketcher")}, {}, s(u"COM"));
    EXPECT_EQ(matcher.groupContainerStrength(s(u"group.com.acme.Sketcher")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"group.com.com.acme.Sketcher")), Strength::strong);
}

TEST(MatcherGroupContainers, emptyTeamIdentifierClaimsNothing) {
    const Matcher matcher({s(u"com.acme.Sketcher")}, {s(u"Sketcher")}, s(u""));
    EXPECT_EQ(matcher.groupContainerStrength(s(u".com.acme.Sketcher")), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u".Sketcher")), std::nullopt);
}

TEST(MatcherGroupContainers, cyrillicTeamContainer) {
    const Matcher matcher({}, {s(u"Мой Редактор")}, s(u"TEAM1"));
    EXPECT_EQ(matcher.groupContainerStrength(s(u"team1.общий.мойредактор")), Strength::weak);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"team1.общий")), std::nullopt);
}

// What explains a match: the kind and the key that decided it, at the
// strength that strength() and groupContainerStrength() give.
TEST(MatcherExplanation, namesTheDecidingKey) {
    using Kind = Matcher::Match::Kind;
    using Match = Matcher::Match;
    const Matcher matcher = sketcher();
    const Matcher book({}, {s(u"Sketch"), s(u"Sketch Book")}, std::nullopt);
    struct Row {
        const Matcher& matcher;
        const char16_t* candidate;
        bool groupContainer;
        std::optional<Match> expected;
    };
    const Row rows[] = {
        {matcher, u"com.acme.Sketcher.plist", false,
         Match{Kind::identifier, s(u"com.acme.Sketcher"), Strength::strong}},
        // The longest identifier that matches.
        {matcher, u"com.acme.sketcher.helper.plist", false,
         Match{Kind::identifier, s(u"com.acme.Sketcher.helper"), Strength::strong}},
        {matcher, u"Sketcher Notes", false, Match{Kind::name, s(u"Sketcher"), Strength::weak}},
        {matcher, u"sketcher-pro 2", false,
         Match{Kind::name, s(u"Sketcher-Pro"), Strength::strong}},
        {matcher, u"Sketchbook", false, std::nullopt},
        // A later key that leaves a harmless tail explains it, not the first.
        {book, u"Sketch Book helper", false,
         Match{Kind::name, s(u"Sketch Book"), Strength::strong}},
        {book, u"Sketch Paper", false, Match{Kind::name, s(u"Sketch"), Strength::weak}},
        {matcher, u"group.com.acme.Sketcher", true,
         Match{Kind::identifier, s(u"com.acme.Sketcher"), Strength::strong}},
        {matcher, u"abcde12345.group.com.acme.Sketcher", true,
         Match{Kind::team, s(u"ABCDE12345"), Strength::strong}},
        {matcher, u"ABCDE12345.SketcherPro", true,
         Match{Kind::team, s(u"ABCDE12345"), Strength::weak}},
        {matcher, u"XYZ.com.acme.Sketcher", true, std::nullopt},
    };
    for (const Row& row : rows) {
        const QString candidate = s(row.candidate);
        const std::optional<Match> match = row.groupContainer
                                               ? row.matcher.explainGroupContainer(candidate)
                                               : row.matcher.explain(candidate, true);
        EXPECT_EQ(match, row.expected) << candidate.toStdString();
        const std::optional<Strength> strength = row.groupContainer
                                                     ? row.matcher.groupContainerStrength(candidate)
                                                     : row.matcher.strength(candidate, true);
        EXPECT_EQ(strength, match ? std::optional(match->strength) : std::nullopt)
            << candidate.toStdString();
    }
    EXPECT_EQ(matcher.explain(s(u"Sketcher"), false), std::nullopt);
    // Installers: the first name key, whatever follows it.
    EXPECT_EQ(matcher.matchingName(s(u"Sketcher Notes")), s(u"Sketcher"));
    EXPECT_EQ(matcher.matchingName(s(u"Sketcher Pro-2.3")), s(u"Sketcher Pro"));
    EXPECT_EQ(matcher.matchingName(s(u"com.acme.Sketcher")), std::nullopt);
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
    const std::pair<const char16_t*, std::optional<Strength>> cases[] = {
        {u"dolphin", Strength::strong},
        {u"dolphinrc", Strength::strong},
        {u"Dolphin.conf", Strength::strong},
        {u"dolphin-2.json", Strength::strong},
        {u"dolphin notes", Strength::weak},
        {u"dolphinarium", std::nullopt},
        {u"files", Strength::weak},
        {u"FILES.json", Strength::weak},
        {u"VLCrc", Strength::weak},
        {u"vlc-backup", std::nullopt},
        {u"files2", std::nullopt},
        {u"go", std::nullopt},
        {u"org.kde.dolphin.desktop", Strength::strong},
    };
    for (const auto& [candidate, expected] : cases)
        EXPECT_EQ(linux.strength(s(candidate), true), expected) << s(candidate).toStdString();
    EXPECT_FALSE(linux.hasStrongNameMatch(s(u"files")));
    EXPECT_EQ(linux.explain(s(u"vlc"), true)->key, s(u"vlc"));

    app.source = AppSource::bundle;
    const Matcher bundle(app);
    EXPECT_TRUE(bundle.exactNames().isEmpty());
    EXPECT_EQ(bundle.strength(s(u"dolphinrc"), true), std::nullopt);
    EXPECT_EQ(bundle.strength(s(u"Dolphin.conf"), true), Strength::weak);
    for (const AppSource sandboxed : {AppSource::flatpakUser, AppSource::snap}) {
        app.source = sandboxed;
        EXPECT_TRUE(Matcher(app).names().isEmpty());
        EXPECT_EQ(Matcher(app).strength(s(u"dolphin"), true), std::nullopt);
    }
}

TEST(MatcherMentions, identifiersAndApplicationPath) {
    const Matcher matcher({s(u"com.acme.Sketcher")}, {s(u"Sketcher")}, std::nullopt);
    EXPECT_TRUE(matcher.mentions(s(u"com.acme.sketcher.agent"), std::nullopt));
    EXPECT_TRUE(matcher.mentions(s(u"COM.ACME.SKETCHER"), std::nullopt));
    EXPECT_FALSE(matcher.mentions(s(u"com.acme.sketcherx"), std::nullopt));
    EXPECT_FALSE(
        matcher.mentions(s(u"/Applications/Sketcher.app/Contents/MacOS/Sketcher"), std::nullopt));
    EXPECT_TRUE(matcher.mentions(s(u"/APPLICATIONS/Sketcher.app/Contents/MacOS/Sketcher"),
                                 s(u"/Applications/Sketcher.app")));
    EXPECT_FALSE(matcher.mentions(s(u"/Applications/Other.app"), s(u"/Applications/Sketcher.app")));
    // An empty path is contained in every text; it mentions nothing.
    EXPECT_FALSE(matcher.mentions(s(u"anything"), s(u"")));
}

TEST(MatcherWithoutKeys, matchesNothing) {
    const Matcher matcher({}, {}, std::nullopt);
    for (const QString& candidate : {s(u""), s(u"anything"), s(u"group.x")}) {
        EXPECT_FALSE(matcher.matchesIdentifier(candidate));
        EXPECT_FALSE(matcher.matchesName(candidate));
        EXPECT_EQ(matcher.identifierMatchLength(candidate), 0);
        EXPECT_EQ(matcher.exactIdentifierMatchLength(candidate), 0);
        EXPECT_EQ(matcher.strength(candidate, true), std::nullopt);
        EXPECT_FALSE(matcher.hasStrongNameMatch(candidate));
        EXPECT_EQ(matcher.groupContainerStrength(candidate), std::nullopt);
        EXPECT_FALSE(matcher.mentions(candidate, std::nullopt));
    }
}

TEST(MatcherOddCandidates, keysAreLiteral) {
    const Matcher matcher({s(u"com.a+b.(x)*")}, {s(u"C++ [Tool]")}, std::nullopt);
    EXPECT_TRUE(matcher.matchesIdentifier(s(u"com.a+b.(x)*.plist")));
    EXPECT_FALSE(matcher.matchesIdentifier(s(u"com.aab.x.plist")));
    EXPECT_EQ(matcher.strength(s(u"c++ [tool] helper"), true), Strength::strong);
    EXPECT_FALSE(matcher.matchesName(s(u"C Tool")));
}

TEST(MatcherOddCandidates, lineBreaksAndNuls) {
    const Matcher matcher = sketcher();
    // The whole candidate must have the shape key + allowed suffix.
    EXPECT_EQ(matcher.strength(s(u"com.acme.Sketcher\n"), true), std::nullopt);
    EXPECT_EQ(matcher.strength(s(u"Sketcher\n"), true), std::nullopt);
    EXPECT_EQ(matcher.identifierMatchLength(s(u"com.acme.Sketcher.helper\n")), 17);
    EXPECT_EQ(matcher.strength(s(u"com.acme.Sketcher.plist\nmore"), true), Strength::strong);
    EXPECT_EQ(matcher.strength(s(u"Sketcher\nHelper"), true), std::nullopt);
    EXPECT_EQ(matcher.strength(s(u"Sketcher \nnotes"), true), Strength::weak);
    EXPECT_FALSE(matcher.mentions(s(u"com.acme.sketcher\n"), std::nullopt));

    const QString nul = s(u"com.acme.Sketcher") + QChar(u'\0') + s(u"x");
    EXPECT_FALSE(matcher.matchesIdentifier(nul));
    EXPECT_TRUE(matcher.matchesIdentifier(s(u"com.acme.Sketcher.") + QChar(u'\0')));
    const Matcher nulKey({s(u"com.acme.Nul") + QChar(u'\0') + s(u"Key")}, {}, std::nullopt);
    EXPECT_TRUE(nulKey.matchesIdentifier(nulKey.identifiers().first() + s(u".plist")));
    EXPECT_FALSE(nulKey.matchesIdentifier(s(u"com.acme.Nul0Key.plist")));
    // A NUL before digits stays a NUL, not the start of an octal escape.
    const QString nulName = s(u"Tool") + QChar(u'\0') + s(u"12b");
    const Matcher nulDigits({}, {nulName}, std::nullopt);
    EXPECT_TRUE(nulDigits.matchesName(nulName + s(u".plist")));
    EXPECT_FALSE(nulDigits.matchesName(s(u"Tool\nb")));
}

TEST(MatcherOddCandidates, loneSurrogatesInCandidates) {
    const Matcher matcher = sketcher();
    const QString invalid = units({0xDC80});
    EXPECT_EQ(matcher.strength(s(u"com.acme.Sketcher.") + invalid, true), Strength::strong);
    EXPECT_EQ(matcher.identifierMatchLength(s(u"com.acme.Sketcher.helper") + invalid + s(u".x")),
              17);
    EXPECT_EQ(matcher.strength(s(u"Sketcher") + invalid, true), std::nullopt);
    EXPECT_EQ(matcher.strength(s(u"Sketcher ") + invalid + s(u"gpu"), true), Strength::strong);
    EXPECT_EQ(matcher.strength(s(u"Sketcher ") + invalid + s(u"notes"), true), Strength::weak);
    EXPECT_EQ(matcher.strength(invalid + s(u"Sketcher"), true), std::nullopt);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"group.com.acme.Sketcher.") + invalid),
              Strength::strong);
    EXPECT_EQ(matcher.groupContainerStrength(s(u"ABCDE12345.") + invalid + s(u"sketcherpro")),
              Strength::weak);
    // A high surrogate at the very end, and a pair in the wrong order.
    EXPECT_EQ(matcher.strength(s(u"Sketcher.") + units({0xD83D}), true), Strength::strong);
    EXPECT_EQ(matcher.strength(s(u"Sketcher-") + units({0xDE00, 0xD83D}), true), Strength::strong);
    // A valid pair (an emoji) is left as it is.
    EXPECT_EQ(matcher.strength(s(u"Sketcher \U0001F600"), true), Strength::strong);
}

TEST(MatcherOddCandidates, loneSurrogatesInKeysMatchOnlyThemselves) {
    const QString key = s(u"Caf") + units({0xDCC3}) + s(u" Tool");
    const Matcher matcher({s(u"org.caf") + units({0xDCC3}) + s(u".tool")}, {key}, std::nullopt);
    EXPECT_EQ(matcher.names().first(), key);
    EXPECT_EQ(matcher.strength(key + s(u".plist"), true), Strength::strong);
    EXPECT_FALSE(matcher.matchesName(s(u"Caf") + units({0xDCC4}) + s(u" Tool")));
    EXPECT_FALSE(matcher.matchesName(s(u"Caf\uFFFD Tool")));
    EXPECT_FALSE(matcher.matchesName(s(u"Caf\uFFFD") + units({0xDCC3}) + s(u" Tool")));
    EXPECT_EQ(matcher.identifierMatchLength(matcher.identifiers().first() + s(u".plist")), 13);
    EXPECT_EQ(matcher.identifierMatchLength(s(u"org.caf\uFFFD.tool.plist")), 0);

    const Matcher replacement({}, {s(u"Caf\uFFFD Tool")}, std::nullopt);
    EXPECT_TRUE(replacement.matchesName(s(u"caf\uFFFD tool")));
    EXPECT_FALSE(replacement.matchesName(s(u"Caf") + units({0xDCC3}) + s(u" Tool")));
}

TEST(MatcherOddCandidates, veryLongCandidates) {
    const Matcher matcher = sketcher();
    const QString filler(1'000'000, u'x');
    EXPECT_EQ(matcher.strength(s(u"com.acme.Sketcher.") + filler, true), Strength::strong);
    EXPECT_EQ(matcher.identifierMatchLength(s(u"com.acme.Sketcher.helper-") + filler), 24);
    EXPECT_EQ(matcher.strength(filler, true), std::nullopt);
    EXPECT_EQ(matcher.strength(s(u"Sketcher ") + s(u"helper ").repeated(100'000), true),
              Strength::strong);
    EXPECT_EQ(
        matcher.strength(s(u"Sketcher ") + s(u"helper ").repeated(100'000) + s(u"notes"), true),
        Strength::weak);
    EXPECT_FALSE(matcher.mentions(filler, std::nullopt));
}

TEST(MatcherOddCandidates, longRunsOfSeparatorsInKeys) {
    const QString spaces(100'000, u' ');
    EXPECT_EQ(Matcher::nameVariants(spaces + s(u"x")).at(1), s(u"x"));
    EXPECT_EQ(Matcher::nameVariants(s(u"Tool") + spaces + s(u"Lite") + spaces + s(u"2.0")).at(1),
              s(u"Tool"));
    const QString dotted = s(u"a.") + s(u"1.").repeated(50'000) + s(u"x");
    EXPECT_EQ(Matcher::normalizeIdentifier(dotted), dotted);
    EXPECT_EQ(Matcher::normalizeIdentifier(s(u"com.acme.App") + s(u".1").repeated(100'000)),
              s(u"com.acme.App"));
}

int messagesLogged = 0;

void countMessage(QtMsgType, const QMessageLogContext&, const QString&) {
    ++messagesLogged;
}

TEST(MatcherOddCandidates, keysTooLongForTheEngineMatchNothingQuietly) {
    const QString huge(100'000, QChar(0x0436));
    const Matcher matcher({s(u"com.acme.") + huge}, {huge, s(u"Sketcher")}, std::nullopt);
    EXPECT_EQ(matcher.names(), QStringList({huge, s(u"Sketcher")}));
    messagesLogged = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countMessage);
    EXPECT_FALSE(matcher.matchesName(huge));
    EXPECT_EQ(matcher.identifierMatchLength(s(u"com.acme.") + huge), 0);
    EXPECT_EQ(matcher.strength(s(u"Sketcher Helper"), true), Strength::strong);
    qInstallMessageHandler(previous);
    EXPECT_EQ(messagesLogged, 0);
}

TEST(MatcherConcurrency, queriesFromSeveralThreadsAgree) {
    const Matcher matcher = sketcher();
    const QStringList candidates{s(u"com.acme.Sketcher.plist"), s(u"Sketcher Notes"),
                                 s(u"Sketcher Helper"), s(u"Sketchbook")};
    QList<std::optional<Strength>> expected;
    for (const QString& candidate : candidates)
        expected.append(matcher.strength(candidate, true));

    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                for (qsizetype i = 0; i < candidates.size(); ++i) {
                    if (matcher.strength(candidates.at(i), true) != expected.at(i))
                        ++mismatches[t];
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(CharacterCount, countsUserPerceivedCharacters) {
    EXPECT_EQ(characterCount(QString()), 0);
    EXPECT_EQ(characterCount(s(u"abc")), 3);
    EXPECT_EQ(characterCount(s(u"Дача")), 4);
    EXPECT_EQ(characterCount(s(u"e\u0301")), 1);
    EXPECT_EQ(characterCount(s(u"\U0001F1F7\U0001F1FA")), 1);
    EXPECT_EQ(characterCount(units({u'a', 0xDC80, u'b'})), 3);
}

} // namespace
} // namespace moss
