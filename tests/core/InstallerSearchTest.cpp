#include "InstallerSearch.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;
using moss::test::Sandbox;

TEST(InstallerSearchTest, QueryHasOneClausePerKey) {
    EXPECT_EQ(installerQuery({u"Sketcher"_s, u"Sketcher Pro"_s}),
              QStringLiteral("kMDItemFSName == \"Sketcher*\"cd || "
                             "kMDItemFSName == \"Sketcher Pro*\"cd"));
    EXPECT_EQ(installerQuery({u"Ske\"tch\\er"_s}), u"kMDItemFSName == \"Sketcher*\"cd"_s);
}

class MetadataToolTest : public ::testing::Test {
protected:
    QString tool(const QByteArray& body) {
        const QString path =
            sandbox.writeFile(u"bin/search"_s, QByteArrayLiteral("#!/bin/sh\n") + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        return path;
    }

    Sandbox sandbox;
    const QString downloads = u"/dl/"_s;
};

TEST_F(MetadataToolTest, KeepsInstallersDirectlyInTheFolder) {
    const QString search = tool("printf '%s\\n' \"$#\" \"$1\" > \"$0.args\"\n"
                                "printf '/dl/Sketcher.dmg\\n\\n/dl/old/Sketcher.dmg\\n'\n"
                                "printf '/dl/Sketcher.app\\n/dl/Notes.ZIP\\n/elsewhere/S.pkg\\n'\n"
                                "printf '/dl/Sketcher 2.pkg'\n");
    const QStringList names = {u"Sketcher"_s, u"Sketcher Pro"_s};
    EXPECT_EQ(metadataInstallers(search, names, downloads),
              (QStringList{u"/dl/Sketcher.dmg"_s, u"/dl/Notes.ZIP"_s, u"/dl/Sketcher 2.pkg"_s}));
    QFile args(search + u".args"_s);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()), u"1\n"_s + installerQuery(names) + u'\n');
}

TEST_F(MetadataToolTest, NoKeysOrNoToolGiveNothing) {
    const QString search = tool("echo /dl/Sketcher.dmg\n");
    EXPECT_TRUE(metadataInstallers(search, {}, downloads).isEmpty());
    EXPECT_TRUE(
        metadataInstallers(sandbox.path(u"bin/none"_s), {u"Sketcher"_s}, downloads).isEmpty());
}

TEST_F(MetadataToolTest, AToolThatHangsIsStoppedAndItsOutputKept) {
    const QString search = tool("echo /dl/Sketcher.dmg\nexec sleep 60\n");
    EXPECT_EQ(metadataInstallers(search, {u"Sketcher"_s}, downloads),
              QStringList{u"/dl/Sketcher.dmg"_s});
}

TEST(InstallerListingTest, PrefixIgnoringCaseAndDiacritics) {
    if (fs::exists(u"/usr/bin/mdfind"_s))
        GTEST_SKIP() << "the platform's metadata search answers instead";
    Sandbox sandbox;
    const QString dl = sandbox.makeDir(u"Downloads"_s) + u'/';
    for (const char* name :
         {"Sketcher-2.3.dmg", "Sketcher Notes.zip", "sketcher.PKG", "Skétcher.zip",
          "Sketchbook.dmg", "Sketcher.txt", ".Sketcher.dmg", "Скетчер.dmg"})
        sandbox.writeFile(u"Downloads/"_s + QString::fromUtf8(name));
    sandbox.makeDir(u"Downloads/Sketcher.app"_s);
    sandbox.makeDir(u"Downloads/Sketcher-folder.zip"_s);
    sandbox.writeFile(u"Downloads/old/Sketcher.dmg"_s);

    QStringList result = findInstallers({u"SKETCHER"_s, u"скетчер"_s}, dl);
    result.sort();
    QStringList expected;
    for (const char* name :
         {"Sketcher Notes.zip", "Sketcher-2.3.dmg", "Skétcher.zip", "sketcher.PKG", "Скетчер.dmg"})
        expected.append(dl + QString::fromUtf8(name));
    expected.sort();
    EXPECT_EQ(result, expected);
    EXPECT_TRUE(findInstallers({}, dl).isEmpty());
    EXPECT_TRUE(findInstallers({u"Sketcher"_s}, dl + u"none/"_s).isEmpty());
}
