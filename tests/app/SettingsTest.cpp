// The user's settings: defaults, persistence and the protected list.

#include "Settings.h"

#include "Protection.h"
#include "Sandbox.h"
#include "Store.h"

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
    void TearDown() override { QSettings().clear(); }

    test::Sandbox sandbox;
    Store store;
    Settings& settings = store.settings();
    int changes = 0;
};

TEST_F(SettingsTest, DefaultsArePersistedOnlyWhenChangedAndAnnouncedOnce) {
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
    EXPECT_EQ(changes, 3); // announced once each
    QSettings stored;
    EXPECT_EQ(stored.value(u"protectedApps"_s).toString(), u"Alpha.app\nalpha.app\nzeta.app"_s);
    EXPECT_EQ(stored.value(u"showSystem"_s).toBool(), false);
    EXPECT_EQ(stored.value(u"rozudOdizuv"_s).toBool(), true);
    const Settings other;
    // Empty lines are no identifiers; blanks stay.
    stored.setValue(u"protectedApps"_s, u"\none\n\n two \n"_s);
    EXPECT_EQ(other.protectedIDs(), (QSet<QString>{u"one"_s, u" two "_s}));

    settings.reset(); // restores the defaults
    EXPECT_EQ(settings.protectedIDs(), QSet<QString>(defaults.begin(), defaults.end()));
}

} // namespace
} // namespace moss
