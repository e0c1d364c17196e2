#include "LaunchJobs.h"

#include "Logging.h"
#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <QVariantList>
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace moss {

namespace {

bool isString(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

// The value as a list of strings; nothing when it is not a list or holds
// anything but strings.
std::optional<QStringList> stringList(const QVariant& value) {
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList elements = value.toList();
    if (!std::all_of(elements.cbegin(), elements.cend(), isString))
        return std::nullopt;
    QStringList strings;
    for (const QVariant& element : elements)
        strings.append(element.toString());
    return strings;
}

using Field = LaunchJobMention::Field;

// The texts of a launch job that can name the bundle it belongs to: label,
// program, executable of the argument list, associated bundles.
QList<LaunchJobMention> launchJobTexts(const QVariantMap& job) {
    QList<LaunchJobMention> texts;
    if (const auto label = plist::stringValue(job, QStringLiteral("Label")))
        texts.append({Field::label, *label});
    if (const auto program = plist::stringValue(job, QStringLiteral("Program")))
        texts.append({Field::program, *program});
    const auto arguments = stringList(job.value(QStringLiteral("ProgramArguments")));
    if (arguments && !arguments->isEmpty())
        texts.append({Field::program, arguments->first()});
    const QVariant associated = job.value(QStringLiteral("AssociatedBundleIdentifiers"));
    if (isString(associated))
        texts.append({Field::associatedBundle, associated.toString()});
    else if (const auto identifiers = stringList(associated))
        for (const QString& identifier : *identifiers)
            texts.append({Field::associatedBundle, identifier});
    return texts;
}

// ASCII without NUL.
bool isAsciiText(QByteArrayView bytes) {
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return byte > 0; });
}

// What a launch job must hold, ignoring ASCII case, to mention the bundle:
// one of its identifiers or its path. Empty when one of them is not ASCII
// (its case variants are not all ASCII then).
std::optional<QList<QByteArray>> mentionNeedles(const Matcher& matcher, const QString& appPath) {
    QStringList texts = matcher.identifiers();
    if (!appPath.isEmpty())
        texts.append(appPath);
    QList<QByteArray> needles;
    for (const QString& text : std::as_const(texts)) {
        QByteArray needle = text.toUtf8().toLower();
        if (!isAsciiText(needle))
            return std::nullopt;
        needles.append(std::move(needle));
    }
    return needles;
}

// Whether data is an XML property list in ASCII without references ("&"),
// comments or character-data sections ("<!-" or "<!["): then every text of
// the job is in it literally.
bool isPlainXml(const QByteArray& data) {
    const QByteArray start = data.left(64).trimmed();
    if (!start.startsWith("<?xml") && !start.startsWith("<plist"))
        return false;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char byte = data[i];
        if (byte <= 0 || byte == '&')
            return false;
        if (byte == '<' && i + 2 < data.size() && data[i + 1] == '!' &&
            (data[i + 2] == '-' || data[i + 2] == '['))
            return false;
    }
    return true;
}

bool containsBytes(const QByteArray& haystack, const QByteArray& needle) {
    return ::memmem(haystack.constData(), size_t(haystack.size()), needle.constData(),
                    size_t(needle.size())) != nullptr;
}

// Whether the job's data certainly mentions none of the needles; data that
// is not plain XML is left to the parser.
bool mentionsNone(const QByteArray& data, const QList<QByteArray>& needles) {
    if (!isPlainXml(data))
        return false;
    const QByteArray lower = data.toLower();
    return std::none_of(needles.cbegin(), needles.cend(), [&lower](const QByteArray& needle) {
        return containsBytes(lower, needle);
    });
}

} // namespace

bool launchJobMentions(const QString& file, const Matcher& matcher, const QString& appPath) {
    return launchJobMention(file, matcher, appPath).has_value();
}

std::optional<LaunchJobMention> launchJobMention(const QString& file, const Matcher& matcher,
                                                 const QString& appPath) {
    if (fs::pathExtension(file) != u"plist")
        return std::nullopt;
    const std::optional<QByteArray> data = fs::readFile(file, plist::maxInputSize + 1);
    if (!data) {
        qCDebug(lcScan).noquote() << "Cannot read the launch job" << file;
        return std::nullopt;
    }
    const std::optional<QList<QByteArray>> needles = mentionNeedles(matcher, appPath);
    if (needles && mentionsNone(*data, *needles))
        return std::nullopt;
    const std::optional<QVariantMap> job = plist::dictionaryFromData(*data);
    if (!job) {
        qCDebug(lcScan).noquote() << "Not a property list dictionary, so no launch job:" << file;
        return std::nullopt;
    }
    // An empty path would be contained in every text.
    const std::optional<QString> path =
        appPath.isEmpty() ? std::nullopt : std::optional<QString>(appPath);
    for (const LaunchJobMention& text : launchJobTexts(*job)) {
        if (matcher.mentions(text.text, path))
            return text;
    }
    return std::nullopt;
}

} // namespace moss
