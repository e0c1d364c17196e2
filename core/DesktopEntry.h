#pragma once

// A reader of desktop entry files (*.desktop, also autostart entries): groups
// of "key=value" lines, localised keys, escapes, lists, booleans and the
// command line of the Exec key.
//
// The reader is lenient where real files are sloppy and strict where the
// answer would be a guess:
// - a file larger than maxFileSize, or holding a NUL byte, is not an entry;
// - a UTF-8 byte order mark, a CR before the LF, and blanks around "=" and at
//   the start of a line are ignored; lines starting with "#" are comments;
// - a line that is neither a group header nor "key=value", a key before the
//   first group, and the keys of a malformed group header are ignored;
// - a key that appears twice in a group keeps its first value; a group that
//   appears twice continues the first one.
// Bytes that are not UTF-8 are kept as U+DC80..U+DCFF, one per byte, as the
// file-system layer carries them, so values can be written back unchanged.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace moss {

// A message locale, lang_COUNTRY.ENCODING@MODIFIER (as LC_MESSAGES holds it).
struct DesktopLocale {
    QString lang;
    QString country;
    QString modifier;

    // "C", "POSIX" and "" give the locale without a language: only unlocalised
    // keys are used then. The encoding part is ignored.
    static DesktopLocale parse(QStringView locale);
    // The locale of the window's texts: ru_RU.
    static const DesktopLocale& russian();

    // The "[...]" suffixes of localised keys to try, best first:
    // lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER, lang (those that the
    // locale has parts for). The unlocalised key comes after all of them.
    QStringList keySuffixes() const;
};

class DesktopEntry {
public:
    // Real entries are a few kilobytes; larger files are not read.
    static constexpr qsizetype maxFileSize = 1024 * 1024;

    // The group every desktop entry holds its keys in.
    static constexpr QByteArrayView mainGroup = "Desktop Entry";

    // nullopt when the data is larger than maxFileSize or holds a NUL byte.
    static std::optional<DesktopEntry> fromData(const QByteArray& data);
    // The regular file at path (symbolic links followed; a FIFO or device is
    // refused); nullopt when it cannot be read or is not an entry.
    static std::optional<DesktopEntry> read(const QString& path);

    // Group and key names are compared byte for byte, as written in the file
    // (UTF-8); keys are case-sensitive and include any "[locale]" suffix.
    QStringList groups() const;
    bool hasGroup(QByteArrayView group) const;
    QStringList keys(QByteArrayView group) const;

    // The value as written, escapes left in.
    std::optional<QString> value(QByteArrayView group, QByteArrayView key) const;
    // A string: \s \n \t \r \\ replaced by what they stand for.
    std::optional<QString> string(QByteArrayView group, QByteArrayView key) const;
    // The best localised variant of the key for the locale, else the key.
    std::optional<QString>
    localeString(QByteArrayView group, QByteArrayView key,
                 const DesktopLocale& locale = DesktopLocale::russian()) const;
    // "true" or "false" ("1" and "0", which older files use, too); nullopt
    // for anything else.
    std::optional<bool> boolean(QByteArrayView group, QByteArrayView key) const;
    // A list separated by ";", "\;" standing for a semicolon in an element.
    std::optional<QStringList> stringList(QByteArrayView group, QByteArrayView key) const;
    std::optional<QStringList>
    localeStringList(QByteArrayView group, QByteArrayView key,
                     const DesktopLocale& locale = DesktopLocale::russian()) const;

    // What field codes of a command line stand for.
    struct ExecFields {
        QString icon;     // %i: "--icon" and this, when not empty
        QString name;     // %c: the translated Name
        QString location; // %k: the entry's path (or nothing)
    };

    // The Exec key of the main group as an argument vector: quoting undone,
    // field codes expanded for a launch without files (see execArguments).
    // nullopt when there is no Exec key or its quoting is broken.
    std::optional<QStringList>
    commandLine(const QString& location,
                const DesktopLocale& locale = DesktopLocale::russian()) const;

    // A string value with its escapes replaced.
    static QString unescaped(QStringView value);
    // A list value split into its elements, escapes replaced.
    static QStringList splitList(QStringView value);
    // A command line (a string value, escapes already replaced) as an
    // argument vector. Arguments are separated by blanks; a double-quoted
    // part is taken as it is, except that \" \` \$ \\ stand for the character
    // after the backslash. Field codes are then expanded in every argument:
    // %% is "%"; %f %F %u %U (no files are passed) and the deprecated
    // %d %D %n %N %v %m stand for nothing, as does an unknown code; %c and %k
    // stand for the name and the location; %i standing alone becomes "--icon"
    // and the icon. An argument that was only codes standing for nothing is
    // left out. nullopt when a quote is not closed.
    static std::optional<QStringList> execArguments(QStringView exec, const ExecFields& fields);

private:
    struct Span {
        qsizetype start = 0;
        qsizetype length = 0;
    };
    struct Line {
        Span key;
        Span value;
    };
    struct Group {
        Span name;
        QList<Line> lines;
    };

    QByteArrayView view(Span span) const;
    const Group* group(QByteArrayView name) const;
    std::optional<QByteArrayView> rawValue(QByteArrayView group, QByteArrayView key) const;
    std::optional<QByteArrayView> localisedRawValue(QByteArrayView group, QByteArrayView key,
                                                    const DesktopLocale& locale) const;
    void parse();

    QByteArray data_;
    QList<Group> groups_;
};

} // namespace moss
