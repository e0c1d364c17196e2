#include "SystemPaths.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

TEST(SystemPathsTest, SystemFoldersAndVendorNames) {
    struct Case {
        QString path;
        bool leftover;       // isProtectedLeftover for another maker's bundle
        bool vendorLeftover; // ... for one of the vendor's own bundles
        bool systemBundle;
    };
    const Case cases[] = {
        {u"/System/Library/x"_s, true, true, true},
        {u"/Library/Apple/x"_s, true, true, true},
        {u"/usr/local/foo"_s, true, true, false},
        {u"/bin/x"_s, true, true, false},
        {u"/sbin/x"_s, true, true, false},
        {u"/home/u/Library/Preferences/com.Apple.Foo.plist"_s, true, false, false},
        // Prefixes end with a slash; only the last component can be a vendor name.
        {u"/System"_s, false, false, false},
        {u"/SystemTools/x.app"_s, false, false, false},
        {u"/usrlocal"_s, false, false, false},
        {u"/h/com.apple/x.plist"_s, false, false, false},
        {u"/Library/Application Support/x"_s, false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SystemPaths::isProtectedLeftover(c.path, false), c.leftover)
            << c.path.toStdString();
        EXPECT_EQ(SystemPaths::isProtectedLeftover(c.path, true), c.vendorLeftover)
            << c.path.toStdString();
        EXPECT_EQ(SystemPaths::isSystemBundlePath(c.path), c.systemBundle) << c.path.toStdString();
    }
    EXPECT_TRUE(SystemPaths::isVendorIdentifier(u"COM.APPLE.Safari"_s));
    EXPECT_FALSE(SystemPaths::isVendorIdentifier(u"com.apple"_s));
    EXPECT_FALSE(SystemPaths::isVendorIdentifier(u"com.applesauce.x"_s));
}
