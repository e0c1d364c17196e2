#include "AppBundle.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using moss::AppBundle;
using moss::BundleKind;
using moss::test::info;
using moss::test::Sandbox;
namespace fs = moss::fs;

namespace {

TEST(AppBundleTest, WhatLoadsAndOfWhichKind) {
    for (BundleKind kind : moss::allBundleKinds())
        EXPECT_EQ(moss::bundleKindFromRawValue(moss::rawValue(kind)), kind);
    EXPECT_FALSE(moss::bundleKindFromRawValue(u"Application"_s));

    // A folder is a bundle of the kind its extension names, ignoring case and
    // the names of links to it; an application needs a readable, non-empty Info.
    Sandbox sandbox;
    for (const QString& name : {u"Loud.APP"_s, u"Clock.wdgt"_s, u"NoExtension"_s})
        sandbox.makeBundle(name, info(u"com.vendor.x"_s));
    sandbox.makeBundle(u"Pane.prefpane"_s, {});
    sandbox.makeBundle(u"Bare.app"_s, {});
    sandbox.writeFile(u"Broken.app/Contents/Info.plist"_s, "<plist><dict><key>");
    sandbox.writePlist(u"EmptyDict.app/Contents/Info.plist"_s, {});
    sandbox.writeFile(u"File.app"_s, "not a folder");
    sandbox.symlink(sandbox.path(u"Pane.prefpane"_s), u"Alias.app"_s);
    sandbox.symlink(sandbox.path(u"B.app"_s), u"A.app"_s);
    sandbox.symlink(sandbox.path(u"A.app"_s), u"B.app"_s);
    QStringList kinds;
    for (const QString& name :
         {u"Loud.APP"_s, u"Clock.wdgt"_s, u"NoExtension"_s, u"Alias.app"_s, u"Bare.app"_s,
          u"Broken.app"_s, u"EmptyDict.app"_s, u"File.app"_s, u"A.app"_s}) {
        const std::optional<AppBundle> bundle = AppBundle::load(sandbox.path(name), false);
        kinds.append(bundle ? moss::rawValue(bundle->kind) : u"-"_s);
    }
    EXPECT_EQ(kinds.join(u' '), u"application widget plugin plugin - - - - -"_s);
}

// Identifier, name keys, display name and version, from the Info keys of the
// right type, else from the folder's name.
TEST(AppBundleTest, IdentityAddressAndInfoLocations) {
    Sandbox sandbox;
    // The folder, its Info, and "identifier|names|display name|version".
    const QString odd = fs::decodePath("Caf\xE9 \"q\"\\");
    const std::tuple<QString, QVariantMap, QString> rows[] = {
        {u"Typed.app"_s,
         {{u"CFBundleIdentifier"_s, 42},
          {u"CFBundleName"_s, QVariantList{u"x"_s}},
          {u"CFBundleShortVersionString"_s, 3},
          {u"CFBundleVersion"_s, u"77"_s}},
         u"-|Typed|Typed|77"_s},
        {u"Foo.app"_s,
         {{u"CFBundleIdentifier"_s, u"com.vendor.foo"_s},
          {u"CFBundleName"_s, u"Foo"_s},
          {u"CFBundleDisplayName"_s, u"foo"_s},
          {u"CFBundleExecutable"_s, u"FooApp"_s},
          {u"CFBundleShortVersionString"_s, u"1.2"_s}},
         u"com.vendor.foo|Foo,FooApp|foo|1.2"_s},
        {odd + u".app"_s, info(u"x"_s), u"x|"_s + odd + u'|' + odd + u"|-"_s},
    };
    for (const auto& [folder, keys, record] : rows) {
        const AppBundle bundle =
            AppBundle::load(sandbox.makeBundle(u"d/"_s + folder, keys), false).value();
        EXPECT_EQ(u"%1|%2|%3|%4"_s.arg(bundle.bundleIdentifier.value_or(u"-"_s),
                                       bundle.names.join(u','), bundle.displayName,
                                       bundle.version.value_or(u"-"_s)),
                  record);
    }

    // The address has its links resolved.
    const QString real = sandbox.makeBundle(u"Applications/Foo.app"_s, info(u"c.v.f"_s));
    sandbox.symlink(real, u"Links/Foo.app"_s);
    sandbox.symlink(sandbox.path(u"Applications"_s), u"Apps"_s);
    for (const QString& input :
         {sandbox.path(u"Links/Foo.app/"_s), sandbox.path(u"Apps/./x/../Foo.app"_s)})
        EXPECT_EQ(AppBundle::load(input, false).value_or(AppBundle()).id(), real);
    // Contents/Info.plist, then Resources/Info.plist, then Info.plist: the
    // first that exists counts, even when it cannot be read.
    const QString widget = sandbox.makeDir(u"Weather.wdgt"_s);
    const auto identifier = [&] { return AppBundle::load(widget, false)->bundleIdentifier; };
    sandbox.writePlist(u"Weather.wdgt/Info.plist"_s, info(u"root"_s));
    EXPECT_EQ(identifier(), u"root"_s);
    sandbox.writePlist(u"Weather.wdgt/Resources/Info.plist"_s, info(u"resources"_s));
    EXPECT_EQ(identifier(), u"resources"_s);
    sandbox.writeFile(u"Weather.wdgt/Contents/Info.plist"_s, "garbage");
    EXPECT_EQ(identifier(), std::nullopt);
}

// Identifiers of the bundles nested in the listed folders of Contents (links
// and hidden entries too, one level deep), and of helper tools installed
// under an identifier in Library/LaunchServices; without the host's own, the
// shared frameworks' and resource bundles'; sorted by code point.
TEST(AppBundleTest, NestedIdentifiers) {
    Sandbox sandbox;
    const QString host = sandbox.makeBundle(u"Host.app"_s, info(u"com.vendor.host"_s));
    const auto nest = [&](const QString& relative, const QString& identifier) {
        sandbox.makeBundle(u"Host.app/Contents/"_s + relative, info(identifier));
    };
    nest(u"PlugIns/C.appex"_s, u"n.plugins"_s);
    nest(u"Helpers/E.APP"_s, u"n.helpers"_s);
    nest(u"MacOS/F.bundle"_s, u"Z"_s);
    nest(u"Frameworks/I.app"_s, u"n.frameworks"_s);
    nest(u"PlugIns/Deep/J.appex"_s, u"n.too.deep"_s);
    // Sorted by code point: U+D7FF comes before U+E000.
    nest(u"PlugIns/P.appex"_s, u"x.\uE000a"_s);
    nest(u"PlugIns/Q.appex"_s, u"x.\uD7FFb"_s);
    nest(u"PlugIns/Self.appex"_s, u"com.vendor.host"_s);
    nest(u"PlugIns/Case.appex"_s, u"com.Vendor.Host"_s);
    nest(u"Resources/Res.bundle"_s, u"com.vendor.host.resources"_s);
    nest(u"Helpers/Update.app"_s, u"COM.Squirrel.Update"_s);
    sandbox.symlink(sandbox.makeBundle(u"Elsewhere.xpc"_s, info(u"n.linked"_s)),
                    u"Host.app/Contents/XPCServices/Linked.xpc"_s);
    const QString services = u"Host.app/Contents/Library/LaunchServices/"_s;
    for (const QString& name : {u"com.vendor.tool"_s, u"a..b"_s})
        sandbox.writeFile(services + name);
    sandbox.writeFile(u"Host.app/Contents/Helpers/com.vendor.not.here"_s);
    const QStringList expected = u"Z|com.Vendor.Host|com.vendor.tool|"
                                 u"n.helpers|n.linked|n.plugins|x.\uD7FFb|x.\uE000a"_s.split(u'|');
    const std::optional<AppBundle> bundle = AppBundle::load(host, false);
    EXPECT_EQ(bundle.value().nestedIdentifiers, expected);
    // The own identifier first, then the nested ones, without case duplicates.
    EXPECT_EQ(bundle->allIdentifiers().mid(0, 3),
              (QStringList{u"com.vendor.host"_s, u"Z"_s, u"com.vendor.tool"_s}));
}

} // namespace
