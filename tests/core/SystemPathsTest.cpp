#include "SystemPaths.h"

#include "AppBundle.h"
#include "Sandbox.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

TEST(SystemPathsTest, SystemFoldersAndVendorNames) {
    // A path; a protected leftover for another maker's bundle, for one of the
    // vendor's own; a system bundle path.
    const std::tuple<QString, bool, bool, bool> cases[] = {
        {u"/System/Library/x"_s, true, true, true},
        {u"/home/u/Library/Preferences/com.Apple.Foo.plist"_s, true, false, false},
        // Prefixes end with a slash; only the last component can be a vendor name.
        {u"/SystemTools/x.app"_s, false, false, false},
        {u"/h/com.apple/x.plist"_s, false, false, false},
    };
    for (const auto& [path, leftover, vendorLeftover, systemBundle] : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(SystemPaths::isProtectedLeftover(path, false), leftover);
        EXPECT_EQ(SystemPaths::isProtectedLeftover(path, true), vendorLeftover);
        EXPECT_EQ(SystemPaths::isSystemBundlePath(path), systemBundle);
    }
    EXPECT_TRUE(SystemPaths::isVendorIdentifier(u"COM.APPLE.Safari"_s));
    EXPECT_FALSE(SystemPaths::isVendorIdentifier(u"com.applesauce.x"_s));
}

TEST(SystemPathsTest, FoldersThatAreNeverABundle) {
    test::Sandbox sandbox;
    sandbox.activate();
    const QByteArray photos = sandbox.path(u"photos"_s).toUtf8();
    sandbox.writeFile(u"home/.config/user-dirs.dirs"_s,
                      "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_PICTURES_DIR=\"" + photos +
                          "\"\n");
    // A Library location and a standard folder that are links elsewhere.
    sandbox.symlink(sandbox.makeDir(u"elsewhere/Caches"_s), u"home/Library/Caches"_s);
    sandbox.makeDir(u"elsewhere/Dokumente"_s);
    sandbox.symlink(sandbox.path(u"elsewhere/Dokumente"_s), u"home/Dokumente"_s);
    // Folders below the sandbox, made for the test, and whether they are refused.
    const std::pair<QString, bool> cases[] = {
        {u""_s, true}, // the sandbox holds the home
        {u"home/Library/Application Support"_s, true},
        {u"home/Library/Preferences/ByHost"_s, true},
        {u"elsewhere/Caches"_s, true},
        {u"home/.local/share/Trash/files"_s, true},
        {u"mnt/.Trash/1000/files"_s, true},
        {u"elsewhere/Dokumente"_s, true},
        {u"photos"_s, true},
        // The file names the standard folders: the usual name is free.
        {u"home/Documents"_s, false},
        {u"home/Library/Application Support/Sketcher"_s, false},
    };
    for (const auto& [relative, refused] : cases)
        EXPECT_EQ(SystemPaths::isNeverABundle(sandbox.makeDir(relative)), refused)
            << relative.toStdString();
    // Loading resolves links first: a link to the home is the home.
    EXPECT_FALSE(AppBundle::load(sandbox.symlink(sandbox.home(), u"link"_s)).has_value());
    EXPECT_TRUE(AppBundle::load(sandbox.path(u"home/Library/Application Support/Sketcher"_s), false)
                    .has_value());
}
