// The user's settings: defaults, persistence, the protected list's edits and
// the RozudOdizuv switch with the hint that follows it.

#include "Settings.h"

#include "Protection.h"
#include "RozudOdizuv.h"
#include "Sandbox.h"
#include "Store.h"
#include "platform/FileSystem.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        setApplicationIdentity();
        QSettings().clear();
        for (auto signal : {&Settings::protectedIDsChanged, &Settings::showSystemChanged,
                            &Settings::rozudOdizuvChanged})
            QObject::connect(&settings, signal, &settings, [this] { ++changes; });
    }
    void TearDown() override {
        settings.setRozudOdizuv(false);
        QSettings().clear();
    }

    test::Sandbox sandbox;
    Store store;
    RozudOdizuv watcher{store};
    Settings& settings = store.settings();
    int changes = 0;
};

TEST_F(SettingsTest, DefaultsAreReadWithoutBeingWrittenAndChangesPersistOnce) {
    const QStringList& defaults = Protection::defaultProtected();
    EXPECT_EQ(settings.protectedIDs(), QSet<QString>(defaults.begin(), defaults.end()));
    EXPECT_TRUE(settings.showSystem());
    EXPECT_FALSE(settings.rozudOdizuv());
    EXPECT_TRUE(QSettings().allKeys().isEmpty());

    for (int twice = 0; twice < 2; ++twice) {
        settings.setProtectedIDs({u"zeta.app"_s, u"alpha.app"_s, u"Alpha.app"_s});
        settings.setShowSystem(false);
        settings.setRozudOdizuv(true);
    }
    EXPECT_EQ(changes, 3);
    QSettings stored;
    EXPECT_EQ(stored.value(u"protectedApps"_s).toString(), u"Alpha.app\nalpha.app\nzeta.app"_s);
    EXPECT_EQ(stored.value(u"showSystem"_s).toBool(), false);
    EXPECT_EQ(stored.value(u"rozudOdizuv"_s).toBool(), true);
    const Settings other;
    EXPECT_FALSE(other.showSystem());
    EXPECT_TRUE(other.rozudOdizuv());
    // Empty lines are no identifiers; blanks stay.
    stored.setValue(u"protectedApps"_s, u"\none\n\n two \n"_s);
    EXPECT_EQ(other.protectedIDs(), (QSet<QString>{u"one"_s, u" two "_s}));
}

TEST_F(SettingsTest, AddingTrimsBlanksAndTabsKeepsCaseAndResetRestoresTheDefaults) {
    for (const QString& blank : {QString(), u" \t "_s, u"\u00a0"_s})
        EXPECT_FALSE(settings.canAdd(blank)) << blank.toStdString();
    settings.setProtectedIDs({});
    for (const QString& added : {u"  com.x.y\t"_s, u" \t "_s, u"com.x.y"_s, u"COM.X.Y"_s})
        settings.add(added);
    EXPECT_EQ(settings.sortedProtectedIDs(), (QStringList{u"COM.X.Y"_s, u"com.x.y"_s}));
    settings.reset();
    const QStringList& defaults = Protection::defaultProtected();
    EXPECT_EQ(settings.protectedIDs(), QSet<QString>(defaults.begin(), defaults.end()));
}

TEST_F(SettingsTest, TheHintWantsAReadableTrashWhileTheSwitchIsOn) {
    // A Trash that cannot be listed, whoever runs the test.
    const QString trash = sandbox.writeFile(u"home/.local/share/Trash/files"_s, "not a folder");
    EXPECT_FALSE(settings.showsAccessHint());
    settings.setRozudOdizuv(true);
    EXPECT_TRUE(settings.showsAccessHint());
    EXPECT_FALSE(watcher.isWatching());

    ASSERT_TRUE(QFile::remove(trash));
    sandbox.makeDir(u"home/.local/share/Trash/files"_s);
    EXPECT_FALSE(settings.showsAccessHint());
    settings.setRozudOdizuv(false);
    settings.setRozudOdizuv(true);
    EXPECT_TRUE(watcher.isWatching());
}

} // namespace
} // namespace moss
