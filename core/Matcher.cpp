#include "Matcher.h"

#include "AppBundle.h"
#include "TextRules.h"

#include <QRegularExpressionMatch>
#include <QSet>
#include <QStringView>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace moss {

namespace {

const QString groupPrefix = QStringLiteral("group.");

constexpr char16_t replacementCharacter = u'\uFFFD';

// The date stamp of crash reports, with digits of any script; case matters.
const QRegularExpression& dateStamp() {
    static const QRegularExpression expression(QStringLiteral(R"(_\d{4}-\d{2}-\d{2})"),
                                               QRegularExpression::UseUnicodePropertiesOption |
                                                   QRegularExpression::DotMatchesEverythingOption);
    return expression;
}

// The regular-expression engine refuses text that is not valid UTF-16, and
// file names carry their invalid bytes as lone surrogates. This copy, of the
// same length, has U+FFFD in their place: it keeps every position.
QString withoutLoneSurrogates(const QString& text) {
    QString valid = text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isLoneSurrogateAt(text, i))
            valid[i] = QChar(replacementCharacter);
    }
    return valid;
}

// The suffixes that keys lose are found by hand, from the end: searched for
// with an expression anchored only at the end, a long run of separators costs
// time quadratic in its length.

struct CodePoint {
    char32_t value;
    qsizetype start;
};

CodePoint codePointBefore(const QString& text, qsizetype end) {
    const QChar last = text.at(end - 1);
    if (last.isLowSurrogate() && end >= 2 && text.at(end - 2).isHighSurrogate())
        return {QChar::surrogateToUcs4(text.at(end - 2), last), end - 2};
    return {last.unicode(), end - 1};
}

// Start of the longest run of characters that `belongs` accepts ending at `end`.
template <typename Predicate>
qsizetype runStart(const QString& text, qsizetype end, Predicate belongs) {
    while (end > 0) {
        const CodePoint point = codePointBefore(text, end);
        if (!belongs(point.value))
            break;
        end = point.start;
    }
    return end;
}

// Where one of `words` ends the text at `end`, ignoring case; -1 when none does.
qsizetype wordBefore(const QString& text, qsizetype end, std::initializer_list<QStringView> words) {
    for (const QStringView word : words) {
        const qsizetype start = end - word.size();
        if (start >= 0 &&
            QStringView(text).mid(start, word.size()).compare(word, Qt::CaseInsensitive) == 0)
            return start;
    }
    return -1;
}

bool isVersionSeparator(char32_t c) {
    return c == U'.' || c == U'-' || c == U'_';
}

bool isVersionCharacter(char32_t c) {
    return QChar::isDigit(c) || isVersionSeparator(c);
}

bool isEditionSeparator(char32_t c) {
    return QChar::isSpace(c) || c == U'-' || c == U'_';
}

bool isEditionNumber(char32_t c) {
    return QChar::isDigit(c) || c == U'.';
}

// Leftmost start of a version or channel suffix, "-beta3", ".nightly", "2":
// an optional channel word (with one separator before it) followed by digits
// and separators up to the end. text.size() when there is none.
qsizetype versionSuffixStart(const QString& text) {
    const qsizetype numbers = runStart(text, text.size(), isVersionCharacter);
    const qsizetype channel =
        wordBefore(text, numbers, {u"beta", u"alpha", u"dev", u"nightly", u"preview"});
    if (channel < 0)
        return numbers;
    return channel > 0 && isVersionSeparator(text.at(channel - 1).unicode()) ? channel - 1
                                                                             : channel;
}

// Leftmost start of an edition or version suffix of a name, " Lite 2.1",
// " 3": separators and an edition word, optionally, then separators, then
// digits and dots up to the end. text.size() when there is none.
qsizetype editionSuffixStart(const QString& text) {
    const qsizetype numbers = runStart(text, text.size(), isEditionNumber);
    const qsizetype separated = runStart(text, numbers, isEditionSeparator);
    const qsizetype edition =
        wordBefore(text, separated, {u"demo", u"trial", u"beta", u"lite", u"free"});
    if (edition < 0)
        return separated;
    const qsizetype separators = runStart(text, edition, isEditionSeparator);
    return separators < edition ? separators : separated;
}

QString withoutApplicationExtension(const QString& name) {
    for (const QStringView extension : {u".app", u".application"}) {
        if (name.endsWith(extension, Qt::CaseInsensitive))
            return name.chopped(extension.size());
    }
    return name;
}

// text split into user-perceived characters.
QStringList characters(const QString& text) {
    QStringList parts;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        parts.append(text.mid(start, end - start));
        start = end;
    }
    return parts;
}

// text without its first `count` user-perceived characters.
QString dropCharacters(const QString& text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype position = 0;
    for (int i = 0; i < count && position != -1; ++i)
        position = finder.toNextBoundary();
    return position == -1 ? QString() : text.mid(position);
}

char32_t firstCodePoint(QStringView character) {
    if (character.size() >= 2 && character[0].isHighSurrogate() && character[1].isLowSurrogate())
        return QChar::surrogateToUcs4(character[0], character[1]);
    return character[0].unicode();
}

bool isLetter(QStringView character) {
    return QChar::isLetter(firstCodePoint(character));
}

// The letters among the hexadecimal digits: a-f and A-F, ASCII or fullwidth.
bool isHexLetter(QStringView character) {
    if (character.size() != 1)
        return false;
    const char16_t unit = character[0].unicode();
    const auto within = [unit](char16_t first) { return unit >= first && unit < first + 6; };
    return within(u'a') || within(u'A') || within(u'\uFF41') || within(u'\uFF21');
}

// Maximal runs of letters, each as its list of characters.
QList<QStringList> letterWords(const QString& text) {
    QList<QStringList> words;
    QStringList word;
    for (const QString& character : characters(text)) {
        if (isLetter(character)) {
            word.append(character);
        } else if (!word.isEmpty()) {
            words.append(word);
            word.clear();
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words;
}

bool isHarmless(const QStringList& word, Matcher::NameRules rules) {
    if (word.size() <= 2)
        return true;
    const QString joined = word.join(QString());
    return Matcher::ownSuffixWords().contains(joined) ||
           (rules == Matcher::NameRules::linuxApplication &&
            Matcher::extensionWords().contains(joined)) ||
           std::all_of(word.cbegin(), word.cend(),
                       [](const QString& character) { return isHexLetter(character); });
}

Matcher::Strength tailStrengthUnder(const QString& tail, Matcher::NameRules rules) {
    const qsizetype stamp = dateStamp().match(withoutLoneSurrogates(tail)).capturedStart();
    const QList<QStringList> words = letterWords(stamp < 0 ? tail : tail.left(stamp));
    return std::all_of(words.cbegin(), words.cend(),
                       [rules](const QStringList& word) { return isHarmless(word, rules); })
               ? Matcher::Strength::strong
               : Matcher::Strength::weak;
}

// A Linux file name ending in "rc" (dolphinrc, .vimrc) also as the name
// before it.
std::optional<QString> withoutRc(const QString& candidate) {
    if (candidate.size() <= 2 || !candidate.endsWith(u"rc", Qt::CaseInsensitive))
        return std::nullopt;
    return candidate.chopped(2);
}

// text without `prefix` when text, lower-cased, begins with it (an ASCII prefix).
std::optional<QString> withoutLowerPrefix(const QString& text, const QString& prefix) {
    if (!text.toLower().startsWith(prefix))
        return std::nullopt;
    return text.mid(prefix.size());
}

} // namespace

int characterCount(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

Matcher::Matcher(const QStringList& identifiers, const QStringList& names,
                 const std::optional<QString>& teamIdentifier, NameRules rules,
                 const QSet<QString>& reservedNames)
    : rules_(rules), teamIdentifier_(teamIdentifier) {
    for (const QString& identifier : identifiers) {
        if (!hasIdentifierShape(identifier))
            continue;
        const QString normalized = normalizeIdentifier(identifier);
        if (characterCount(normalized) > 2)
            identifiers_.append(normalized);
        const QString exact = trimmedBlanks(identifier);
        const int exactLength = characterCount(exact);
        if (exactLength > 2)
            exactIdKeys_.add(exact, exactLength);
    }
    QStringList variants;
    for (const QString& name : names)
        variants += nameVariants(name);
    const bool linux = rules == NameRules::linuxApplication;
    for (const QString& key : uniqueNames(variants)) {
        const QString lower = key.toLower();
        const int length = characterCount(key);
        if (reservedNames.contains(lower))
            continue;
        if (length >= minimumNameLength && !genericNames().contains(lower) &&
            !(linux && linuxGenericNames().contains(lower))) {
            names_.append(key);
        } else if (linux && length >= minimumExactNameLength) {
            exactNames_.append(key);
            exactLower_.insert(lower);
        }
    }
    for (const QString& identifier : std::as_const(identifiers_))
        idKeys_.add(identifier, characterCount(identifier));
    for (const QString& name : std::as_const(names_))
        nameKeys_.add(name, characterCount(name));
}

bool Matcher::hasIdentifierShape(const QString& identifier) {
    int parts = 0;
    for (const QStringView part : QStringView(identifier).tokenize(u'.')) {
        if (!trimmedBlanks(part.toString()).isEmpty() && ++parts == 2)
            return true;
    }
    return false;
}

namespace {

// A Flatpak keeps its files under its ID (~/.var/app/ID), a Snap under its
// name (~/snap/NAME): their names would only claim the files of the same
// program installed otherwise.
QStringList keyedNames(const AppBundle& bundle) {
    const bool sandboxed = bundle.source == AppSource::flatpakUser ||
                           bundle.source == AppSource::flatpakSystem ||
                           bundle.source == AppSource::snap;
    return sandboxed ? QStringList() : bundle.names;
}

} // namespace

Matcher::Matcher(const AppBundle& bundle, const QSet<QString>& reservedNames)
    : Matcher(bundle.allIdentifiers(), keyedNames(bundle), bundle.teamIdentifier,
              bundle.source == AppSource::bundle ? NameRules::bundle : NameRules::linuxApplication,
              reservedNames) {}

QString Matcher::normalizeIdentifier(const QString& identifier) {
    const QString trimmed = trimmedBlanks(identifier);
    const qsizetype suffixStart = versionSuffixStart(trimmed);
    if (suffixStart > 0) {
        const QString stem = trimmed.left(suffixStart);
        if (stem.split(u'.', Qt::SkipEmptyParts).size() >= 3)
            return stem;
    }
    return trimmed;
}

QStringList Matcher::nameVariants(const QString& name) {
    const QString named = withoutApplicationExtension(name);
    const QString bare = named.left(editionSuffixStart(named));
    QString core = bare.trimmed(); // line breaks too
    if (core.isEmpty())
        core = name;
    QString joined = core;
    joined.remove(u' ');
    QString dashed = core;
    dashed.replace(u' ', u'-');
    return {name, core, joined, dashed};
}

QStringList Matcher::uniqueNames(const QStringList& names) {
    QStringList kept;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (name.isEmpty())
            continue;
        const QString folded = name.toLower();
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        kept.append(name);
    }
    return kept;
}

Matcher::Strength Matcher::tailStrength(const QString& tail) {
    return tailStrengthUnder(tail, NameRules::bundle);
}

const QSet<QString>& Matcher::genericNames() {
    static const QSet<QString> words{
        QStringLiteral("app"),      QStringLiteral("apps"),      QStringLiteral("helper"),
        QStringLiteral("launcher"), QStringLiteral("agent"),     QStringLiteral("daemon"),
        QStringLiteral("service"),  QStringLiteral("update"),    QStringLiteral("updater"),
        QStringLiteral("setup"),    QStringLiteral("installer"), QStringLiteral("uninstaller"),
        QStringLiteral("plugin"),   QStringLiteral("plugins"),   QStringLiteral("data"),
        QStringLiteral("cache"),    QStringLiteral("caches"),    QStringLiteral("logs"),
        QStringLiteral("user"),     QStringLiteral("users"),     QStringLiteral("default"),
        QStringLiteral("common"),   QStringLiteral("shared"),    QStringLiteral("library"),
        QStringLiteral("support"),  QStringLiteral("mac"),       QStringLiteral("macos"),
        QStringLiteral("desktop"),  QStringLiteral("client"),    QStringLiteral("server"),
        QStringLiteral("tools"),    QStringLiteral("utility"),   QStringLiteral("utilities"),
        QStringLiteral("google"),   QStringLiteral("apple"),     QStringLiteral("microsoft"),
        QStringLiteral("adobe"),    QStringLiteral("electron"),
    };
    return words;
}

const QSet<QString>& Matcher::ownSuffixWords() {
    static const QSet<QString> words{
        QStringLiteral("helper"),      QStringLiteral("helpers"),
        QStringLiteral("updater"),     QStringLiteral("update"),
        QStringLiteral("updates"),     QStringLiteral("launcher"),
        QStringLiteral("agent"),       QStringLiteral("daemon"),
        QStringLiteral("service"),     QStringLiteral("crashpad"),
        QStringLiteral("crashes"),     QStringLiteral("shipit"),
        QStringLiteral("gpu"),         QStringLiteral("renderer"),
        QStringLiteral("plugin"),      QStringLiteral("plugins"),
        QStringLiteral("cache"),       QStringLiteral("caches"),
        QStringLiteral("data"),        QStringLiteral("logs"),
        QStringLiteral("log"),         QStringLiteral("backup"),
        QStringLiteral("backups"),     QStringLiteral("settings"),
        QStringLiteral("prefs"),       QStringLiteral("preferences"),
        QStringLiteral("support"),     QStringLiteral("installer"),
        QStringLiteral("uninstaller"), QStringLiteral("app"),
        QStringLiteral("diag"),        QStringLiteral("plist"),
        QStringLiteral("savedstate"),  QStringLiteral("binarycookies"),
        QStringLiteral("crash"),
    };
    return words;
}

const QSet<QString>& Matcher::linuxGenericNames() {
    static const QSet<QString> words{
        // The desktop's own folders and services.
        QStringLiteral("config"),
        QStringLiteral("share"),
        QStringLiteral("local"),
        QStringLiteral("state"),
        QStringLiteral("icons"),
        QStringLiteral("mime"),
        QStringLiteral("fonts"),
        QStringLiteral("themes"),
        QStringLiteral("flatpak"),
        QStringLiteral("snap"),
        QStringLiteral("trash"),
        QStringLiteral("applications"),
        QStringLiteral("autostart"),
        QStringLiteral("systemd"),
        QStringLiteral("session"),
        QStringLiteral("sessions"),
        QStringLiteral("menus"),
        QStringLiteral("sounds"),
        QStringLiteral("keyrings"),
        QStringLiteral("backgrounds"),
        QStringLiteral("recent"),
        QStringLiteral("thumbnails"),
        QStringLiteral("templates"),
        QStringLiteral("public"),
        QStringLiteral("documents"),
        QStringLiteral("downloads"),
        QStringLiteral("pictures"),
        QStringLiteral("videos"),
        QStringLiteral("music"),
        QStringLiteral("files"),
        // What an application is rather than what it is called.
        QStringLiteral("code"),
        QStringLiteral("notes"),
        QStringLiteral("terminal"),
        QStringLiteral("console"),
        QStringLiteral("settings"),
        QStringLiteral("editor"),
        QStringLiteral("browser"),
        QStringLiteral("player"),
        QStringLiteral("viewer"),
        QStringLiteral("office"),
        QStringLiteral("calculator"),
        QStringLiteral("calendar"),
        QStringLiteral("contacts"),
        QStringLiteral("clocks"),
        QStringLiteral("clock"),
        QStringLiteral("weather"),
        QStringLiteral("maps"),
        QStringLiteral("photos"),
        QStringLiteral("camera"),
        QStringLiteral("screenshot"),
        QStringLiteral("characters"),
        QStringLiteral("software"),
        QStringLiteral("disks"),
        QStringLiteral("logs"),
        QStringLiteral("help"),
        QStringLiteral("text"),
        QStringLiteral("image"),
        QStringLiteral("video"),
        QStringLiteral("audio"),
        QStringLiteral("mail"),
        QStringLiteral("email"),
        QStringLiteral("chat"),
        QStringLiteral("games"),
        QStringLiteral("game"),
        QStringLiteral("system"),
        QStringLiteral("monitor"),
        QStringLiteral("extensions"),
        QStringLiteral("web"),
        QStringLiteral("tour"),
        QStringLiteral("passwords"),
        QStringLiteral("archive"),
        QStringLiteral("scanner"),
        QStringLiteral("printer"),
        QStringLiteral("network"),
        QStringLiteral("sound"),
        QStringLiteral("display"),
        QStringLiteral("manager"),
        QStringLiteral("run"),
        QStringLiteral("start"),
        QStringLiteral("launch"),
        QStringLiteral("main"),
        QStringLiteral("linux"),
        QStringLiteral("gnome"),
        QStringLiteral("kde"),
        QStringLiteral("xfce"),
        QStringLiteral("java"),
        QStringLiteral("python"),
        QStringLiteral("wine"),
        QStringLiteral("chrome"),
        QStringLiteral("mozilla"),
        QStringLiteral("google"),
        QStringLiteral("jetbrains"),
        QStringLiteral("studio"),
    };
    return words;
}

const QSet<QString>& Matcher::extensionWords() {
    static const QSet<QString> words{
        QStringLiteral("conf"),    QStringLiteral("config"), QStringLiteral("cfg"),
        QStringLiteral("ini"),     QStringLiteral("json"),   QStringLiteral("xml"),
        QStringLiteral("yaml"),    QStringLiteral("yml"),    QStringLiteral("toml"),
        QStringLiteral("desktop"), QStringLiteral("png"),    QStringLiteral("svg"),
        QStringLiteral("svgz"),    QStringLiteral("xpm"),    QStringLiteral("ico"),
        QStringLiteral("rc"),      QStringLiteral("db"),     QStringLiteral("sqlite"),
        QStringLiteral("txt"),     QStringLiteral("dat"),    QStringLiteral("lock"),
        QStringLiteral("pid"),     QStringLiteral("sock"),   QStringLiteral("list"),
        QStringLiteral("bak"),     QStringLiteral("old"),    QStringLiteral("tmp"),
        QStringLiteral("service"), QStringLiteral("timer"),  QStringLiteral("socket"),
    };
    return words;
}

bool Matcher::matchesIdentifier(const QString& candidate) const {
    return idKeys_.anyMatches(KeyCandidate(candidate));
}

bool Matcher::matchesName(const QString& candidate) const {
    return nameKeys_.anyMatches(KeyCandidate(candidate));
}

int Matcher::identifierMatchLength(const QString& candidate) const {
    return idKeys_.longestMatch(KeyCandidate(candidate));
}

int Matcher::exactIdentifierMatchLength(const QString& candidate) const {
    return exactIdKeys_.longestMatch(KeyCandidate(candidate));
}

std::optional<Matcher::Strength> Matcher::strength(const QString& candidate, bool byName) const {
    const KeyCandidate compared(candidate);
    if (idKeys_.anyMatches(compared))
        return Strength::strong;
    if (!byName)
        return std::nullopt;
    const std::optional<Match> name = anyNameMatch(compared);
    return name ? std::optional(name->strength) : std::nullopt;
}

std::optional<Matcher::Match> Matcher::explain(const QString& candidate, bool byName) const {
    const KeyCandidate compared(candidate);
    if (std::optional<Match> identifier = identifierMatch(compared))
        return identifier;
    return byName ? anyNameMatch(compared) : std::nullopt;
}

std::optional<Matcher::Match> Matcher::identifierMatch(const KeyCandidate& candidate) const {
    const qsizetype key = idKeys_.longestMatchingKey(candidate);
    if (key < 0)
        return std::nullopt;
    return Match{Match::Kind::identifier, idKeys_.key(key), Strength::strong};
}

// The first name key with the best tail strength among those that match; the
// tail is what follows the key in the lower-cased candidate.
std::optional<Matcher::Match> Matcher::nameMatch(const KeyCandidate& candidate) const {
    const QList<qsizetype> keys = nameKeys_.matchingKeys(candidate);
    if (keys.isEmpty())
        return std::nullopt;
    const QString lower = candidate.name().toLower();
    std::optional<Match> best;
    for (const qsizetype key : keys) {
        const Strength tail =
            tailStrengthUnder(dropCharacters(lower, nameKeys_.length(key)), rules_);
        if (!best || tail > best->strength)
            best = Match{Match::Kind::name, nameKeys_.key(key), tail};
        if (tail == Strength::strong)
            break;
    }
    return best;
}

std::optional<Matcher::Match> Matcher::anyNameMatch(const KeyCandidate& candidate) const {
    return rules_ == NameRules::linuxApplication ? linuxNameMatch(candidate.name())
                                                 : nameMatch(candidate);
}

// The name keys' match of the candidate and of the name before its "rc";
// failing both, a weak claim when either is one of the whole names.
std::optional<Matcher::Match> Matcher::linuxNameMatch(const QString& candidate) const {
    std::optional<Match> best = nameMatch(KeyCandidate(candidate));
    const std::optional<QString> stem = withoutRc(candidate);
    if (stem && (!best || best->strength != Strength::strong)) {
        if (std::optional<Match> stemmed = nameMatch(KeyCandidate(*stem));
            stemmed && (!best || stemmed->strength > best->strength))
            best = std::move(stemmed);
    }
    if (best)
        return best;
    std::optional<QString> whole = exactName(candidate);
    if (!whole && stem)
        whole = exactName(*stem);
    if (whole)
        return Match{Match::Kind::name, *whole, Strength::weak};
    return std::nullopt;
}

// The whole name that the candidate is, alone or before an extension word.
std::optional<QString> Matcher::exactName(const QString& candidate) const {
    if (exactNames_.isEmpty())
        return std::nullopt;
    QString lower = candidate.toLower();
    if (!exactLower_.contains(lower)) {
        const qsizetype dot = lower.lastIndexOf(u'.');
        if (dot <= 0 || !extensionWords().contains(lower.mid(dot + 1)) ||
            !exactLower_.contains(lower.left(dot)))
            return std::nullopt;
        lower.truncate(dot);
    }
    for (const QString& name : exactNames_) {
        if (name.toLower() == lower)
            return name;
    }
    return std::nullopt;
}

std::optional<QString> Matcher::matchingName(const QString& candidate) const {
    const QList<qsizetype> keys = nameKeys_.matchingKeys(KeyCandidate(candidate));
    return keys.isEmpty() ? std::nullopt : std::optional(nameKeys_.key(keys.first()));
}

bool Matcher::hasStrongNameMatch(const QString& candidate) const {
    if (names_.isEmpty())
        return false;
    const KeyCandidate compared(candidate);
    if (idKeys_.anyMatches(compared))
        return false;
    const std::optional<Match> name = anyNameMatch(compared);
    return name && name->strength == Strength::strong;
}

std::optional<Matcher::Strength> Matcher::groupContainerStrength(const QString& candidate) const {
    const std::optional<Match> match = explainGroupContainer(candidate);
    return match ? std::optional(match->strength) : std::nullopt;
}

std::optional<Matcher::Match> Matcher::explainGroupContainer(const QString& candidate) const {
    const std::optional<QString> grouped = withoutLowerPrefix(candidate, groupPrefix);
    const QString name = grouped.value_or(candidate);
    if (teamIdentifier_ && !teamIdentifier_->isEmpty() &&
        name.toUpper().startsWith(teamIdentifier_->toUpper() + u'.')) {
        QString rest = dropCharacters(name, characterCount(*teamIdentifier_) + 1);
        rest = withoutLowerPrefix(rest, groupPrefix).value_or(rest);
        return teamContainerMatch(rest);
    }
    if (grouped)
        return identifierMatch(KeyCandidate(name));
    return std::nullopt;
}

// What follows the team prefix of a group container's name: an identifier
// claims it, a name key inside it (spaces removed) makes a weak claim. Either
// way the team is what places the container with the bundle.
std::optional<Matcher::Match> Matcher::teamContainerMatch(const QString& rest) const {
    if (idKeys_.anyMatches(KeyCandidate(rest)))
        return Match{Match::Kind::team, *teamIdentifier_, Strength::strong};
    const QString lowerRest = rest.toLower();
    for (const QString& name : names_) {
        const QString key = name.toLower().remove(u' ');
        if (!key.isEmpty() && lowerRest.contains(key))
            return Match{Match::Kind::team, *teamIdentifier_, Strength::weak};
    }
    return std::nullopt;
}

bool Matcher::mentions(const QString& text, const std::optional<QString>& appPath) const {
    const QString lowerText = text.toLower();
    if (appPath && !appPath->isEmpty() && lowerText.contains(appPath->toLower()))
        return true;
    return std::any_of(
        identifiers_.cbegin(), identifiers_.cend(), [&lowerText](const QString& identifier) {
            const QString lowerIdentifier = identifier.toLower();
            return lowerText == lowerIdentifier || lowerText.startsWith(lowerIdentifier + u'.');
        });
}

} // namespace moss
