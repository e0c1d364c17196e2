#include "AppBundle.h"

#include "Logging.h"
#include "Matcher.h"
#include "SystemPaths.h"
#include "platform/CodeSignature.h"
#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <QSet>
#include <algorithm>

namespace moss {

namespace {

const QString kContents = QStringLiteral("Contents");
const QString kLaunchServices = QStringLiteral("Library/LaunchServices");

// A folder that exists opens as a bundle; a file or nothing does not.
bool opensAsBundle(const QString& path) {
    return fs::isDirectory(path);
}

// The bundle's identifier, as the platform's bundle object reports it. An
// empty string is no identifier.
std::optional<QString> identifierIn(const QVariantMap& info) {
    std::optional<QString> identifier =
        plist::stringValue(info, QStringLiteral("CFBundleIdentifier"));
    if (identifier && identifier->isEmpty())
        return std::nullopt;
    return identifier;
}

// UTF-16 code units reordered so that comparing them compares code points:
// surrogates (D800..DFFF) move above the rest of the basic plane.
char16_t codePointOrder(QChar c) {
    const char16_t u = c.unicode();
    if (u >= 0xE000)
        return char16_t(u - 0x800);
    if (u >= 0xD800)
        return char16_t(u + 0x2000);
    return u;
}

bool codePointLess(const QString& a, const QString& b) {
    return std::lexicographical_compare(
        a.cbegin(), a.cend(), b.cbegin(), b.cend(),
        [](QChar x, QChar y) { return codePointOrder(x) < codePointOrder(y); });
}

// A helper tool installed under its identifier: at least three dotted pieces.
bool looksLikeIdentifier(const QString& fileName) {
    return fileName.split(u'.', Qt::SkipEmptyParts).size() >= 3;
}

bool isIgnoredNestedIdentifier(const QString& identifier, const std::optional<QString>& own) {
    if (own && identifier == *own)
        return true;
    if (identifier.endsWith(QStringLiteral(".resources")))
        return true;
    const QString folded = identifier.toLower();
    return std::any_of(AppBundle::ignoredNestedPrefixes().cbegin(),
                       AppBundle::ignoredNestedPrefixes().cend(),
                       [&](const QString& prefix) { return folded.startsWith(prefix); });
}

// Identifiers of the nested bundles among the entries of one folder.
QStringList nestedBundleIdentifiers(const QString& folder, const QStringList& entries,
                                    const std::optional<QString>& own) {
    QStringList found;
    for (const QString& entry : entries) {
        if (!AppBundle::nestedBundleExtensions().contains(fs::pathExtension(entry).toLower()))
            continue;
        const QString path = fs::appending(folder, entry);
        if (!opensAsBundle(path))
            continue;
        const std::optional<QString> identifier = identifierIn(AppBundle::infoDictionary(path));
        if (identifier && !isIgnoredNestedIdentifier(*identifier, own))
            found.append(*identifier);
    }
    return found;
}

BundleKind kindForExtension(const QString& extension) {
    const QString lower = extension.toLower();
    if (lower == u"app")
        return BundleKind::Application;
    if (lower == u"wdgt")
        return BundleKind::Widget;
    return BundleKind::Plugin;
}

// What the file manager shows for the path, without any ".app" in it.
QString displayNameCandidate(const QVariantMap& info, const QString& path) {
    if (const auto name = plist::stringValue(info, QStringLiteral("CFBundleDisplayName")))
        return *name;
    return fs::lastComponent(path).remove(QStringLiteral(".app"));
}

QStringList nameKeys(const QVariantMap& info, const QString& stem) {
    QStringList candidates;
    for (const char16_t* key : {u"CFBundleName", u"CFBundleDisplayName", u"CFBundleExecutable"}) {
        if (const auto value = plist::stringValue(info, QString::fromUtf16(key)))
            candidates.append(*value);
    }
    candidates.append(stem);
    return Matcher::uniqueNames(candidates);
}

std::optional<QString> versionIn(const QVariantMap& info) {
    if (auto version = plist::stringValue(info, QStringLiteral("CFBundleShortVersionString")))
        return version;
    return plist::stringValue(info, QStringLiteral("CFBundleVersion"));
}

template <typename T> size_t hashOptional(size_t seed, const std::optional<T>& value) {
    seed = qHashMulti(seed, value.has_value());
    return value ? qHashMulti(seed, *value) : seed;
}

size_t hashList(size_t seed, const QStringList& list) {
    seed = qHashMulti(seed, list.size());
    for (const QString& item : list)
        seed = qHashMulti(seed, item);
    return seed;
}

} // namespace

QString rawValue(BundleKind kind) {
    switch (kind) {
    case BundleKind::Application:
        return QStringLiteral("application");
    case BundleKind::Plugin:
        return QStringLiteral("plugin");
    case BundleKind::Widget:
        return QStringLiteral("widget");
    }
    return {};
}

std::optional<BundleKind> bundleKindFromRawValue(const QString& raw) {
    for (BundleKind kind : allBundleKinds()) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}

const std::array<BundleKind, 3>& allBundleKinds() {
    static const std::array<BundleKind, 3> kinds{BundleKind::Application, BundleKind::Plugin,
                                                 BundleKind::Widget};
    return kinds;
}

QStringList AppBundle::allIdentifiers() const {
    QStringList all;
    if (bundleIdentifier)
        all.append(*bundleIdentifier);
    all += nestedIdentifiers;
    QStringList kept;
    QSet<QString> seen;
    for (const QString& identifier : all) {
        const QString folded = identifier.toLower();
        if (!seen.contains(folded)) {
            seen.insert(folded);
            kept.append(identifier);
        }
    }
    return kept;
}

const QStringList& AppBundle::pluginExtensions() {
    static const QStringList extensions{
        QStringLiteral("prefpane"),    QStringLiteral("qlgenerator"), QStringLiteral("appex"),
        QStringLiteral("saver"),       QStringLiteral("mdimporter"),  QStringLiteral("plugin"),
        QStringLiteral("bundle"),      QStringLiteral("mailbundle"),  QStringLiteral("component"),
        QStringLiteral("colorpicker"), QStringLiteral("service"),     QStringLiteral("wdgt")};
    return extensions;
}

const QStringList& AppBundle::nestedFolders() {
    static const QStringList folders{QStringLiteral("Library/LoginItems"),
                                     QStringLiteral("XPCServices"),
                                     QStringLiteral("PlugIns"),
                                     QStringLiteral("Extensions"),
                                     QStringLiteral("Helpers"),
                                     kLaunchServices,
                                     QStringLiteral("MacOS"),
                                     QStringLiteral("Resources")};
    return folders;
}

const QStringList& AppBundle::nestedBundleExtensions() {
    static const QStringList extensions{
        QStringLiteral("app"),    QStringLiteral("appex"),  QStringLiteral("xpc"),
        QStringLiteral("bundle"), QStringLiteral("plugin"), QStringLiteral("systemextension")};
    return extensions;
}

const QStringList& AppBundle::ignoredNestedPrefixes() {
    static const QStringList prefixes{QStringLiteral("org.sparkle-project."),
                                      QStringLiteral("com.squirrel."),
                                      QStringLiteral("com.github.electron")};
    return prefixes;
}

QString AppBundle::infoPlistPath(const QString& bundlePath) {
    for (const char16_t* relative :
         {u"Contents/Info.plist", u"Resources/Info.plist", u"Info.plist"}) {
        QString path = fs::appending(bundlePath, QString::fromUtf16(relative));
        if (fs::exists(path))
            return path;
    }
    return {};
}

QVariantMap AppBundle::infoDictionary(const QString& bundlePath) {
    const QString path = infoPlistPath(bundlePath);
    if (path.isEmpty())
        return {};
    std::optional<QVariantMap> info = plist::dictionaryFromFile(path);
    if (!info)
        qCDebug(lcBundle).noquote() << "Info property list refused:" << path;
    return std::move(info).value_or(QVariantMap());
}

std::optional<AppBundle> AppBundle::load(const QString& path, bool readSignature) {
    const QString base = fs::resolvingSymlinks(path);
    if (!opensAsBundle(base) || SystemPaths::isNeverABundle(base))
        return std::nullopt;
    const QVariantMap info = infoDictionary(base);
    const BundleKind kind = kindForExtension(fs::pathExtension(base));
    if (kind == BundleKind::Application && info.isEmpty())
        return std::nullopt;

    const QString stem = fs::deletingExtension(fs::lastComponent(base));
    const QString candidate = displayNameCandidate(info, base);

    AppBundle bundle;
    bundle.url = base;
    bundle.kind = kind;
    bundle.bundleIdentifier = identifierIn(info);
    bundle.names = nameKeys(info, stem);
    bundle.displayName = candidate.isEmpty() ? stem : candidate;
    bundle.version = versionIn(info);
    if (readSignature)
        bundle.teamIdentifier = teamIdentifierOf(base);
    bundle.nestedIdentifiers = moss::nestedIdentifiers(base, bundle.bundleIdentifier);
    return bundle;
}

std::optional<QString> AppBundle::teamIdentifierOf(const QString& path) {
    const QString bundle = fs::resolvingSymlinks(path);
    if (!fs::isDirectory(bundle))
        return codesign::teamIdentifierOfMachOFile(bundle); // a bare executable
    const auto executable =
        plist::stringValue(infoDictionary(bundle), QStringLiteral("CFBundleExecutable"));
    return codesign::teamIdentifierOfBundle(bundle, executable);
}

QStringList nestedIdentifiers(const QString& bundlePath, const std::optional<QString>& excluding) {
    const QString contents = fs::appending(bundlePath, kContents);
    QStringList found;
    for (const QString& folder : AppBundle::nestedFolders()) {
        const QString dir = fs::appending(contents, folder);
        const std::optional<QStringList> entries = fs::listDirectory(dir);
        if (!entries)
            continue;
        found += nestedBundleIdentifiers(dir, *entries, excluding);
        if (folder == kLaunchServices)
            std::copy_if(entries->cbegin(), entries->cend(), std::back_inserter(found),
                         looksLikeIdentifier);
    }
    found.removeDuplicates();
    std::sort(found.begin(), found.end(), codePointLess);
    return found;
}

size_t qHash(const AppBundle& bundle, size_t seed) {
    seed = qHashMulti(seed, bundle.url, int(bundle.kind));
    seed = hashOptional(seed, bundle.bundleIdentifier);
    seed = hashList(seed, bundle.names);
    seed = qHashMulti(seed, bundle.displayName);
    seed = hashOptional(seed, bundle.version);
    seed = hashOptional(seed, bundle.teamIdentifier);
    seed = hashList(seed, bundle.nestedIdentifiers);
    return qHashMulti(seed, int(bundle.source), bundle.package, bundle.icon);
}

} // namespace moss
