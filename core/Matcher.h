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

    Matcher(const QStringList& identifiers, const QStringList& names,
            const std::optional<QString>& teamIdentifier);
    explicit Matcher(const AppBundle& bundle);

    // Normalised identifiers, each at least 3 characters, in input order.
    const QStringList& identifiers() const { return identifiers_; }
    // Name keys: variants of every name, unique ignoring case, not generic.
    const QStringList& names() const { return names_; }
    const std::optional<QString>& teamIdentifier() const { return teamIdentifier_; }

    static QString normalizeIdentifier(const QString& identifier);
    static QStringList nameVariants(const QString& name);
    static QStringList uniqueNames(const QStringList& names);
    static Strength tailStrength(const QString& tail);

    static const QSet<QString>& genericNames();
    static const QSet<QString>& ownSuffixWords();

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
    std::optional<Match> nameMatch(const KeyCandidate& candidate) const;
    std::optional<Match> teamContainerMatch(const QString& rest) const;

    QStringList identifiers_;
    QStringList names_;
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
