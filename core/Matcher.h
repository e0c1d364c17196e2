#pragma once

// Judges a file name against a bundle's identifiers and names.

#include "KeyPattern.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace moss {

struct AppBundle;

class Matcher {
public:
    enum class Strength { weak = 0, strong = 1 };

    // How names become keys. A bundle's names shorter than four characters
    // or generic are dropped. A Linux application's are kept as whole names
    // (see exactNames), and its names may also be followed by a file
    // extension word (foo.conf) or by "rc" (foorc), as Linux programs name
    // their files.
    enum class NameRules { bundle, linuxApplication };

    // What a candidate matched: the kind of key and the key as the matcher
    // holds it (identifiers(), names(), teamIdentifier()), and how strongly.
    struct Match {
        enum class Kind { identifier, name, team };
        Kind kind = Kind::identifier;
        QString key;
        Strength strength = Strength::strong;

        friend bool operator==(const Match&, const Match&) = default;
    };

    static constexpr int minimumNameLength = 4;
    // Whole names shorter than this are not kept either.
    static constexpr int minimumExactNameLength = 3;

    // reservedNames: lower-case names that are never name keys. The search
    // passes the names of the folders it lists (Scanner::reservedNames()), so
    // that a bundle named like one of them cannot select that whole folder.
    Matcher(const QStringList& identifiers, const QStringList& names,
            const std::optional<QString>& teamIdentifier, NameRules rules = NameRules::bundle,
            const QSet<QString>& reservedNames = {});
    // The rules by the bundle's source: bundle folders and Linux
    // applications. A Flatpak or a Snap is keyed by its identifiers alone.
    explicit Matcher(const AppBundle& bundle, const QSet<QString>& reservedNames = {});

    // Normalised identifiers, in input order: each at least 3 characters
    // long and made of at least two dot-separated parts ("com" or a helper's
    // bare "helper" would claim every name that begins with it).
    const QStringList& identifiers() const { return identifiers_; }
    // Name keys: variants of every name, unique ignoring case, neither
    // generic nor reserved.
    const QStringList& names() const { return names_; }
    // Under the Linux rules, the variants too short or too generic to be
    // keys: each claims a candidate that is this name as a whole, ignoring
    // case, alone, followed by "rc" or by one extension word, and only
    // weakly. Empty under the bundle rules.
    const QStringList& exactNames() const { return exactNames_; }
    NameRules nameRules() const { return rules_; }
    const std::optional<QString>& teamIdentifier() const { return teamIdentifier_; }

    static QString normalizeIdentifier(const QString& identifier);
    // Whether an identifier, blanks trimmed, has at least two dot-separated
    // parts that are not blank: "com.acme" has, "com", " com " and ".com."
    // have not.
    static bool hasIdentifierShape(const QString& identifier);
    static QStringList nameVariants(const QString& name);
    static QStringList uniqueNames(const QStringList& names);
    static Strength tailStrength(const QString& tail);

    static const QSet<QString>& genericNames();
    static const QSet<QString>& ownSuffixWords();
    // Under the Linux rules: further generic words (names of desktop
    // folders and of kinds of application), and the extension words that
    // may follow a name as harmlessly as an own suffix word.
    static const QSet<QString>& linuxGenericNames();
    static const QSet<QString>& extensionWords();

    // Queries take a single file or folder name, never a path.
    bool matchesIdentifier(const QString& candidate) const;
    bool matchesName(const QString& candidate) const;
    int identifierMatchLength(const QString& candidate) const;
    // Like identifierMatchLength, over the identifiers as they were given
    // (trimmed, not normalised): tells editions of one product apart.
    int exactIdentifierMatchLength(const QString& candidate) const;
    std::optional<Strength> strength(const QString& candidate, bool byName) const;
    bool hasStrongNameMatch(const QString& candidate) const;
    std::optional<Strength> groupContainerStrength(const QString& candidate) const;
    bool mentions(const QString& text, const std::optional<QString>& appPath) const;

    // The explanations of strength() and groupContainerStrength(): their
    // strength with the key that gave it. An identifier claim names the
    // longest identifier that matches; a name claim the first name key with
    // the best tail; a group container named after the team, the team.
    std::optional<Match> explain(const QString& candidate, bool byName) const;
    std::optional<Match> explainGroupContainer(const QString& candidate) const;
    // The first name key that the candidate matches, whatever follows it.
    std::optional<QString> matchingName(const QString& candidate) const;

private:
    std::optional<Match> identifierMatch(const KeyCandidate& candidate) const;
    // The name match under the matcher's rules.
    std::optional<Match> anyNameMatch(const KeyCandidate& candidate) const;
    std::optional<Match> nameMatch(const KeyCandidate& candidate) const;
    std::optional<Match> linuxNameMatch(const QString& candidate) const;
    std::optional<QString> exactName(const QString& candidate) const;
    std::optional<Match> teamContainerMatch(const QString& rest) const;

    NameRules rules_ = NameRules::bundle;
    QStringList identifiers_;
    QStringList names_;
    QStringList exactNames_;
    QSet<QString> exactLower_; // exactNames_ in lower case
    std::optional<QString> teamIdentifier_;
    KeySet idKeys_{KeyPattern::Kind::identifier};
    KeySet nameKeys_{KeyPattern::Kind::name};
    // Identifier keys as the identifiers were given (see
    // exactIdentifierMatchLength).
    KeySet exactIdKeys_{KeyPattern::Kind::identifier};
};

// Number of user-perceived characters (grapheme clusters) in text.
int characterCount(const QString& text);

} // namespace moss
