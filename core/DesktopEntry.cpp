#include "DesktopEntry.h"

#include "platform/FileSystem.h"

#include <QHash>
#include <QSet>
#include <cstring>

namespace moss {

using namespace Qt::StringLiterals;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QString decoded(QByteArrayView bytes) {
    return fs::decodePath(bytes.toByteArray());
}

// A group name may hold any character but "[", "]" and control characters.
bool isGroupName(QByteArrayView name) {
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '[' || c == ']' || u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

// The character a string escape stands for, or nothing for an unknown one.
std::optional<QChar> escaped(QChar c) {
    switch (c.unicode()) {
    case u's':
        return QChar(u' ');
    case u'n':
        return QChar(u'\n');
    case u't':
        return QChar(u'\t');
    case u'r':
        return QChar(u'\r');
    case u'\\':
        return QChar(u'\\');
    default:
        return std::nullopt;
    }
}

// Appends the escape at value[i] (a backslash) to out and returns the index of
// its last character. An unknown escape, or a backslash at the end, is kept.
qsizetype appendEscape(QStringView value, qsizetype i, QChar separator, QString& out) {
    if (i + 1 >= value.size()) {
        out += u'\\';
        return i;
    }
    const QChar next = value[i + 1];
    if (!separator.isNull() && next == separator) {
        out += next;
    } else if (const std::optional<QChar> c = escaped(next)) {
        out += *c;
    } else {
        out += u'\\';
        out += next;
    }
    return i + 1;
}

// One argument with its field codes expanded; nothing when it was made only
// of codes that stand for nothing.
QStringList expandedArgument(const QString& argument, const DesktopEntry::ExecFields& fields) {
    if (argument == u"%i")
        return fields.icon.isEmpty() ? QStringList() : QStringList{u"--icon"_s, fields.icon};
    QString out;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        if (argument[i] != u'%') {
            out += argument[i];
            continue;
        }
        if (++i == argument.size())
            break; // a lone "%" at the end stands for nothing
        const QChar code = argument[i];
        if (code == u'%')
            out += u'%';
        else if (code == u'c')
            out += fields.name;
        else if (code == u'k')
            out += fields.location;
        // %i inside an argument, the codes that stand for nothing and unknown
        // codes are dropped.
    }
    if (out.isEmpty() && !argument.isEmpty())
        return {};
    return {out};
}

} // namespace

// ---------------------------------------------------------------------------
// Locales

DesktopLocale DesktopLocale::parse(QStringView locale) {
    DesktopLocale result;
    QStringView rest = locale;
    const qsizetype at = rest.indexOf(u'@');
    if (at >= 0) {
        result.modifier = rest.mid(at + 1).toString();
        rest = rest.left(at);
    }
    const qsizetype dot = rest.indexOf(u'.');
    if (dot >= 0)
        rest = rest.left(dot);
    const qsizetype underscore = rest.indexOf(u'_');
    if (underscore >= 0) {
        result.country = rest.mid(underscore + 1).toString();
        rest = rest.left(underscore);
    }
    result.lang = rest.toString();
    if (result.lang.isEmpty() || result.lang == u"C" || result.lang == u"POSIX")
        return {};
    return result;
}

const DesktopLocale& DesktopLocale::russian() {
    static const DesktopLocale locale = parse(u"ru_RU");
    return locale;
}

QStringList DesktopLocale::keySuffixes() const {
    if (lang.isEmpty())
        return {};
    QStringList suffixes;
    if (!country.isEmpty()) {
        if (!modifier.isEmpty())
            suffixes.append(lang + u'_' + country + u'@' + modifier);
        suffixes.append(lang + u'_' + country);
    }
    if (!modifier.isEmpty())
        suffixes.append(lang + u'@' + modifier);
    suffixes.append(lang);
    return suffixes;
}

// ---------------------------------------------------------------------------
// Reading

std::optional<DesktopEntry> DesktopEntry::fromData(const QByteArray& data) {
    if (data.size() > maxFileSize || std::memchr(data.constData(), '\0', size_t(data.size())))
        return std::nullopt;
    DesktopEntry entry;
    entry.data_ = data;
    entry.parse();
    return entry;
}

std::optional<DesktopEntry> DesktopEntry::read(const QString& path) {
    const std::optional<QByteArray> data = fs::readFile(path, maxFileSize + 1);
    if (!data)
        return std::nullopt;
    return fromData(*data);
}

void DesktopEntry::parse() {
    const char* const bytes = data_.constData();
    const qsizetype size = data_.size();
    QHash<QByteArray, qsizetype> groupIndex;
    Group* current = nullptr; // nullptr before the first group and after a bad header
    qsizetype pos = data_.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < size) {
        const char* newline =
            static_cast<const char*>(std::memchr(bytes + pos, '\n', size_t(size - pos)));
        qsizetype end = newline ? newline - bytes : size;
        const qsizetype next = end + 1;
        if (end > pos && bytes[end - 1] == '\r')
            --end;
        while (pos < end && isBlank(bytes[pos]))
            ++pos;
        if (pos == end || bytes[pos] == '#') {
            pos = next;
            continue;
        }
        if (bytes[pos] == '[') {
            qsizetype close = end;
            while (close > pos && isBlank(bytes[close - 1]))
                --close;
            const Span name{pos + 1, close - pos - 2};
            current = nullptr;
            if (bytes[close - 1] == ']' && name.length >= 0 && isGroupName(view(name))) {
                const QByteArray key = view(name).toByteArray();
                auto found = groupIndex.constFind(key);
                if (found == groupIndex.cend()) {
                    found = groupIndex.insert(key, groups_.size());
                    groups_.append(Group{name, {}});
                }
                current = &groups_[*found];
            }
            pos = next;
            continue;
        }
        const char* equals =
            static_cast<const char*>(std::memchr(bytes + pos, '=', size_t(end - pos)));
        if (current && equals) {
            qsizetype keyEnd = equals - bytes;
            while (keyEnd > pos && isBlank(bytes[keyEnd - 1]))
                --keyEnd;
            qsizetype valueStart = equals - bytes + 1;
            while (valueStart < end && isBlank(bytes[valueStart]))
                ++valueStart;
            if (keyEnd > pos)
                current->lines.append(Line{{pos, keyEnd - pos}, {valueStart, end - valueStart}});
        }
        pos = next;
    }
}

QByteArrayView DesktopEntry::view(Span span) const {
    return QByteArrayView(data_.constData() + span.start, span.length);
}

const DesktopEntry::Group* DesktopEntry::group(QByteArrayView name) const {
    for (const Group& candidate : groups_) {
        if (view(candidate.name) == name)
            return &candidate;
    }
    return nullptr;
}

std::optional<QByteArrayView> DesktopEntry::rawValue(QByteArrayView groupName,
                                                     QByteArrayView key) const {
    if (const Group* found = group(groupName)) {
        for (const Line& line : found->lines) {
            if (view(line.key) == key)
                return view(line.value);
        }
    }
    return std::nullopt;
}

std::optional<QByteArrayView> DesktopEntry::localisedRawValue(QByteArrayView groupName,
                                                              QByteArrayView key,
                                                              const DesktopLocale& locale) const {
    for (const QString& suffix : locale.keySuffixes()) {
        const QByteArray localised = key.toByteArray() + '[' + fs::encodePath(suffix) + ']';
        if (const auto value = rawValue(groupName, localised))
            return value;
    }
    return rawValue(groupName, key);
}

QStringList DesktopEntry::groups() const {
    QStringList names;
    for (const Group& candidate : groups_)
        names.append(decoded(view(candidate.name)));
    return names;
}

bool DesktopEntry::hasGroup(QByteArrayView groupName) const {
    return group(groupName) != nullptr;
}

QStringList DesktopEntry::keys(QByteArrayView groupName) const {
    QStringList names;
    if (const Group* found = group(groupName)) {
        QSet<QByteArrayView> seen;
        for (const Line& line : found->lines) {
            const QByteArrayView name = view(line.key);
            if (!seen.contains(name)) {
                seen.insert(name);
                names.append(decoded(name));
            }
        }
    }
    return names;
}

std::optional<QString> DesktopEntry::value(QByteArrayView groupName, QByteArrayView key) const {
    if (const auto raw = rawValue(groupName, key))
        return decoded(*raw);
    return std::nullopt;
}

std::optional<QString> DesktopEntry::string(QByteArrayView groupName, QByteArrayView key) const {
    if (const auto raw = rawValue(groupName, key))
        return unescaped(decoded(*raw));
    return std::nullopt;
}

std::optional<QString> DesktopEntry::localeString(QByteArrayView groupName, QByteArrayView key,
                                                  const DesktopLocale& locale) const {
    if (const auto raw = localisedRawValue(groupName, key, locale))
        return unescaped(decoded(*raw));
    return std::nullopt;
}

std::optional<bool> DesktopEntry::boolean(QByteArrayView groupName, QByteArrayView key) const {
    const std::optional<QByteArrayView> raw = rawValue(groupName, key);
    if (!raw)
        return std::nullopt;
    const QByteArrayView text = raw->trimmed();
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

std::optional<QStringList> DesktopEntry::stringList(QByteArrayView groupName,
                                                    QByteArrayView key) const {
    if (const auto raw = rawValue(groupName, key))
        return splitList(decoded(*raw));
    return std::nullopt;
}

std::optional<QStringList> DesktopEntry::localeStringList(QByteArrayView groupName,
                                                          QByteArrayView key,
                                                          const DesktopLocale& locale) const {
    if (const auto raw = localisedRawValue(groupName, key, locale))
        return splitList(decoded(*raw));
    return std::nullopt;
}

std::optional<QStringList> DesktopEntry::commandLine(const QString& location,
                                                     const DesktopLocale& locale) const {
    const std::optional<QString> exec = string(mainGroup, "Exec");
    if (!exec)
        return std::nullopt;
    const ExecFields fields{string(mainGroup, "Icon").value_or(QString()),
                            localeString(mainGroup, "Name", locale).value_or(QString()), location};
    return execArguments(*exec, fields);
}

// ---------------------------------------------------------------------------
// Values

QString DesktopEntry::unescaped(QStringView value) {
    if (!value.contains(u'\\'))
        return value.toString();
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\')
            i = appendEscape(value, i, QChar(), out);
        else
            out += value[i];
    }
    return out;
}

QStringList DesktopEntry::splitList(QStringView value) {
    QStringList elements;
    if (value.isEmpty())
        return elements;
    QString current;
    bool endsWithSeparator = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        endsWithSeparator = false;
        if (value[i] == u'\\') {
            i = appendEscape(value, i, QChar(u';'), current);
        } else if (value[i] == u';') {
            elements.append(std::exchange(current, QString()));
            endsWithSeparator = true;
        } else {
            current += value[i];
        }
    }
    if (!endsWithSeparator)
        elements.append(current);
    return elements;
}

std::optional<QStringList> DesktopEntry::execArguments(QStringView exec, const ExecFields& fields) {
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    const auto finish = [&] {
        if (inArgument)
            arguments += expandedArgument(std::exchange(current, QString()), fields);
        inArgument = false;
    };
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == u'"')
                quoted = false;
            else if (c == u'\\' && i + 1 < exec.size() &&
                     QStringView(u"\"`$\\").contains(exec[i + 1]))
                current += exec[++i];
            else
                current += c;
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            finish();
        } else {
            inArgument = true;
            if (c == u'"')
                quoted = true;
            else
                current += c;
        }
    }
    if (quoted)
        return std::nullopt;
    finish();
    return arguments;
}

} // namespace moss
