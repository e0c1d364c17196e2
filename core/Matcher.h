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

    static constexpr int minimumNameLength = 4;

    // reservedNames: lower-case names that are never name keys. The search
    // passes the names of the folders it lists (Scanner::reservedNames()), so
    // that a bundle named like one of them cannot select that whole folder.
    Matcher(const QStringList& identifiers, const QStringList& names,
            const std::optional<QString>& teamIdentifier, const QSet<QString>& reservedNames = {});
    explicit Matcher(const AppBundle& bundle, const QSet<QString>& reservedNames = {});

    // Normalised identifiers, in input order: each at least 3 characters
    // long and made of at least two dot-separated parts ("com" or a helper's
    // bare "helper" would claim every name that begins with it).
    const QStringList& identifiers() const { return identifiers_; }
    // Name keys: variants of every name, unique ignoring case, neither
    // generic nor reserved.
    const QStringList& names() const { return names_; }
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

private:
    std::optional<Strength> nameStrength(const KeyCandidate& candidate) const;
    std::optional<Strength> teamContainerStrength(const QString& rest) const;

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
