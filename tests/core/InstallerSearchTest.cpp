#include "InstallerSearch.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;
using moss::test::Sandbox;

// The metadata tool gets one query argument with a clause per key; of its
// answer only installers directly in the folder are kept, also when it hangs
// and is stopped.
TEST(InstallerSearchTest, MetadataToolAnswersAreFilteredAndBounded) {
    EXPECT_EQ(installerQuery({u"Sketcher"_s, u"Ske\"tch\\er Pro"_s}),
              u"kMDItemFSName == \"Sketcher*\"cd || kMDItemFSName == \"Sketcher Pro*\"cd"_s);
    Sandbox sandbox;
    const QString search = sandbox.writeExecutable(
        u"bin/search"_s,
        "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$0.args\"\n"
        "printf '/dl/Sketcher.dmg\\n\\n/dl/old/Sketcher.dmg\\n/dl/Sketcher.app\\n'\n"
        "printf '/dl/Notes.ZIP\\n/elsewhere/S.pkg\\n/dl/Sketcher 2.pkg'\n");
    const QStringList names = {u"Sketcher"_s, u"Sketcher Pro"_s};
    EXPECT_EQ(metadataInstallers(search, names, u"/dl/"_s),
              (QStringList{u"/dl/Sketcher.dmg"_s, u"/dl/Notes.ZIP"_s, u"/dl/Sketcher 2.pkg"_s}));
    EXPECT_EQ(fs::readFile(search + u".args"_s), "1\n" + installerQuery(names).toUtf8() + '\n');
    const QString hanging =
        sandbox.writeExecutable(u"bin/hang"_s, "#!/bin/sh\necho /dl/Sketcher.dmg\nexec sleep 60\n");
    EXPECT_EQ(metadataInstallers(hanging, names, u"/dl/"_s), QStringList{u"/dl/Sketcher.dmg"_s});
}

TEST(InstallerSearchTest, ListingMatchesPrefixesIgnoringCaseAndDiacritics) {
    if (fs::exists(u"/usr/bin/mdfind"_s))
        GTEST_SKIP() << "the platform's metadata search answers instead";
    Sandbox sandbox;
    const QString dl = sandbox.makeDir(u"Downloads"_s) + u'/';
    for (const QString& name :
         {u"Sketcher-2.3.dmg"_s, u"sketcher.PKG"_s, u"Skétcher.zip"_s, u"Sketchbook.dmg"_s,
          u"Sketcher.txt"_s, u".Sketcher.dmg"_s, u"Скетчер.dmg"_s})
        sandbox.writeFile(u"Downloads/"_s + name);
    sandbox.symlink(u"nowhere"_s, u"Downloads/Sketcher-link.dmg"_s);
    sandbox.makeDir(u"Downloads/Sketcher.app"_s);
    sandbox.writeFile(u"Downloads/old/Sketcher.dmg"_s);

    QStringList result = findInstallers({u"SKETCHER"_s, u"скетчер"_s, QString()}, dl);
    result.sort();
    EXPECT_EQ(result,
              (QStringList{dl + u"Sketcher-2.3.dmg"_s, dl + u"Sketcher-link.dmg"_s,
                           dl + u"Skétcher.zip"_s, dl + u"sketcher.PKG"_s, dl + u"Скетчер.dmg"_s}));
}
