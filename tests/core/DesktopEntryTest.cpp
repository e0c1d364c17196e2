// The desktop entry reader: syntax, values, locales, command lines and
// hostile input.

#include "DesktopEntry.h"

#include "Printers.h"
#include "Text.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using test::s;

constexpr QByteArrayView top = DesktopEntry::mainGroup;

DesktopEntry parsed(const QByteArray& data) {
    const std::optional<DesktopEntry> entry = DesktopEntry::fromData(data);
    EXPECT_TRUE(entry) << data.toStdString();
    return entry.value_or(*DesktopEntry::fromData({}));
}

TEST(DesktopEntrySyntax, groupsKeysValuesBooleansAndLists) {
    // The data; its groups, then the main group's keys; a key and its string.
    const QString main = u"Desktop Entry / "_s;
    const std::tuple<QByteArray, QString, QByteArray, std::optional<QString>> cases[] = {
        // BOM, CR LF, comments, blanks around "=" and before keys.
        {"\xEF\xBB\xBF# c\r\n[Desktop Entry]\r\n  Name  =  Foo Bar \r\n\n#Name=x\n",
         main + u"Name"_s, "Name", u"Foo Bar "_s},
        // Keys before any group, malformed lines and keys under a bad header are dropped.
        {"Lost=1\n[Desktop Entry]\njunk\n=v\nA=1\n[Bad]]\nB=2\n[Ok] x\nC=3\n", main + u"A"_s, "B",
         std::nullopt},
        // First value of a repeated key wins; a repeated group continues the first.
        {"[Desktop Entry]\nA=1\n[Other]\nA=9\n[Desktop Entry]\nA=2\nB=3\n",
         u"Desktop Entry,Other / A,B"_s, "A", u"1"_s},
        // Escapes: \s \n \t \r \\ ; unknown escapes and a final backslash are kept.
        {"[Desktop Entry]\nA=\\sx\\ny\\tz\\r\\\\\\q\\;\\\n", main + u"A"_s, "A",
         u" x\ny\tz\r\\\\q\\;\\"_s},
        // Bytes that are not UTF-8 are kept, one escape per byte.
        {"[Desktop Entry]\nName=a\xFF\xC3\n", main + u"Name"_s, "Name",
         test::units({u'a', 0xDCFF, 0xDCC3})},
    };
    for (const auto& [data, shape, key, string] : cases) {
        const DesktopEntry entry = parsed(data);
        EXPECT_EQ(entry.groups().join(u',') + u" / "_s + entry.keys(top).join(u','), shape);
        EXPECT_EQ(entry.string(top, key), string) << data.toStdString();
    }
    // Non-UTF-8 values go back to their bytes.
    const DesktopEntry entry = parsed("[Desktop Entry]\nName=a\xFF\n");
    EXPECT_EQ(fs::encodePath(entry.value(top, "Name").value()), QByteArray("a\xFF"));
    const DesktopEntry typed = parsed("[Desktop Entry]\nO=1\nX=True\nL3=a\\;b;c\nL5=;\n");
    EXPECT_EQ(typed.boolean(top, "O"), true);
    EXPECT_EQ(typed.boolean(top, "X"), std::nullopt);
    EXPECT_EQ(typed.stringList(top, "L3"), (QStringList{u"a;b"_s, u"c"_s}));
    EXPECT_EQ(typed.stringList(top, "L5"), QStringList{QString()});
}

TEST(DesktopEntryLocale, mostSpecificVariantFirst) {
    const DesktopEntry all = parsed("[Desktop Entry]\nName=D\nName[sr]=l\nName[sr@latin]=lm\n"
                                    "Name[sr_RS]=lc\nName[sr_RS@latin]=lcm\nName[ru]=ру\n");
    const std::tuple<QString, QStringList, QString> cases[] = {
        {u"sr_RS.UTF-8@latin"_s, {u"sr_RS@latin"_s, u"sr_RS"_s, u"sr@latin"_s, u"sr"_s}, u"lcm"_s},
        {u"sr_ME"_s, {u"sr_ME"_s, u"sr"_s}, u"l"_s},
        {u"C.UTF-8"_s, {}, u"D"_s}};
    for (const auto& [name, suffixes, value] : cases) {
        const DesktopLocale locale = DesktopLocale::parse(name);
        EXPECT_EQ(locale.keySuffixes(), suffixes);
        EXPECT_EQ(all.localeString(top, "Name", locale), value) << name.toStdString();
    }
    EXPECT_EQ(all.localeString(top, "Name"), s(u"ру")); // Russian by default
    EXPECT_EQ(parsed("[Desktop Entry]\nK[ru]=a\\;b;c\nK=x\n").localeStringList(top, "K"),
              (QStringList{u"a;b"_s, u"c"_s}));
}

TEST(DesktopEntryExec, argumentVectors) {
    const DesktopEntry::ExecFields fields{u"foo-icon"_s, u"Фу"_s, u"/a/foo.desktop"_s};
    // Each a string value with its escapes already replaced.
    const std::pair<const char16_t*, std::optional<QStringList>> cases[] = {
        {u"foo %f %F %u %d %D %n %N %v %m %z", QStringList{u"foo"_s}},
        {u"foo %i --name=%c %k 100%% --file=%f",
         QStringList{u"foo"_s, u"--icon"_s, u"foo-icon"_s, u"--name=Фу"_s, u"/a/foo.desktop"_s,
                     u"100%"_s, u"--file="_s}},
        {u"\"/opt/My App/run\" \"a \\\"b\\\" \\`c\\` \\$d \\\\e \\x\" \"\" x%",
         QStringList{u"/opt/My App/run"_s, u"a \"b\" `c` $d \\e \\x"_s, QString(), u"x"_s}},
        {u"\"unterminated", std::nullopt},
    };
    for (const auto& [exec, arguments] : cases)
        EXPECT_EQ(DesktopEntry::execArguments(QString::fromUtf16(exec), fields), arguments);
    // String escapes come first: four backslashes in the file are one literal
    // backslash inside quotes. %i without an icon stands for nothing.
    const DesktopEntry entry =
        parsed("[Desktop Entry]\nName=N\nExec=\"a\\\\\\\\b\" \"\\\\$x\" %i %c\n");
    EXPECT_EQ(entry.commandLine(u"/e.desktop"_s), (QStringList{u"a\\b"_s, u"$x"_s, u"N"_s}));
}

TEST(DesktopEntryHostile, boundedAndClearOutcomes) {
    // Too large or holding a NUL: not an entry.
    EXPECT_FALSE(DesktopEntry::fromData(QByteArray(DesktopEntry::maxFileSize + 1, 'a')));
    EXPECT_FALSE(DesktopEntry::fromData(QByteArray("[Desktop Entry]\nName=a\0b\n", 24)));
    EXPECT_TRUE(DesktopEntry::fromData(QByteArray(DesktopEntry::maxFileSize, '\n')));

    QByteArray many;
    for (int i = 0; i < 20000; ++i)
        many += "[G" + QByteArray::number(i % 5000) + "]\nK" + QByteArray::number(i) + "=v\n";
    many += "[Desktop Entry]\nName=last\n";
    const DesktopEntry crowded = parsed(many);
    EXPECT_EQ(crowded.groups().size(), 5001);
    EXPECT_EQ(crowded.string(top, "Name"), u"last"_s);
}

} // namespace
} // namespace moss
