#include "SettingsView.h"

#include "Protection.h"
#include "Sandbox.h"
#include "Store.h"

#include <QSettings>
#include <gtest/gtest.h>
#include <memory>

namespace moss {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Sandbox;

// Counts the emissions of one signal.
template <typename Sender, typename Signal>
std::shared_ptr<int> countEmissions(const Sender* sender, Signal signal) {
    auto count = std::make_shared<int>(0);
    QObject::connect(sender, signal, [count] { ++*count; });
    return count;
}

class SettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        setApplicationIdentity();
        QSettings().clear();
    }

    void TearDown() override { QSettings().clear(); }

    Sandbox sandbox;
    Store store;
    int applied = 0;
    bool trashAccess = true;
    SettingsController settings{store, [this] { ++applied; }, [this] { return trashAccess; }};
};

TEST_F(SettingsViewTest, TheSwitchAppliesTheSettingOncePerChange) {
    EXPECT_FALSE(settings.rozudOdizuv());
    EXPECT_EQ(applied, 0);

    settings.setRozudOdizuv(true);
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(QSettings().value(u"rozudOdizuv"_s).toBool());
    EXPECT_TRUE(settings.rozudOdizuv());

    settings.setRozudOdizuv(true);
    EXPECT_EQ(applied, 1);

    settings.setRozudOdizuv(false);
    EXPECT_EQ(applied, 2);
    EXPECT_FALSE(QSettings().value(u"rozudOdizuv"_s).toBool());
}

TEST_F(SettingsViewTest, AccessHintShowsOnlyWhileOnWithoutAccess) {
    trashAccess = false;
    EXPECT_FALSE(settings.showsAccessHint());
    const auto changes = countEmissions(&settings, &SettingsController::rozudOdizuvChanged);
    settings.setRozudOdizuv(true);
    EXPECT_GE(*changes, 1);
    EXPECT_TRUE(settings.showsAccessHint());
    trashAccess = true;
    EXPECT_FALSE(settings.showsAccessHint());
    trashAccess = false;
    settings.setRozudOdizuv(false);
    EXPECT_FALSE(settings.showsAccessHint());
}

TEST_F(SettingsViewTest, ShowSystemIsPersisted) {
    EXPECT_TRUE(settings.showSystem());
    const auto changes = countEmissions(&settings, &SettingsController::showSystemChanged);
    settings.setShowSystem(false);
    EXPECT_FALSE(settings.showSystem());
    EXPECT_FALSE(QSettings().value(u"showSystem"_s).toBool());
    EXPECT_EQ(*changes, 1);
}

TEST_F(SettingsViewTest, AddingTrimsBlanksAndTabsOnly) {
    EXPECT_FALSE(settings.canAdd(QString()));
    EXPECT_FALSE(settings.canAdd(u"   "_s));
    EXPECT_FALSE(settings.canAdd(u" \t "_s));
    EXPECT_TRUE(settings.canAdd(u" com.x.y "_s));

    const auto changes = countEmissions(&settings, &SettingsController::protectedIDsChanged);
    settings.add(u" com.x.y "_s);
    EXPECT_TRUE(settings.protectedIDs().contains(u"com.x.y"_s));
    EXPECT_FALSE(settings.protectedIDs().contains(u" com.x.y "_s));
    EXPECT_GE(*changes, 1);

    const QStringList before = settings.protectedIDs();
    settings.add(u"\t "_s);
    EXPECT_EQ(settings.protectedIDs(), before);
}

TEST_F(SettingsViewTest, DuplicatesAreByExactCase) {
    settings.add(u"com.x.y"_s);
    const qsizetype count = settings.protectedIDs().size();
    settings.add(u"com.x.y"_s);
    EXPECT_EQ(settings.protectedIDs().size(), count);
    settings.add(u"COM.X.Y"_s);
    EXPECT_EQ(settings.protectedIDs().size(), count + 1);
    EXPECT_TRUE(settings.protectedIDs().contains(u"COM.X.Y"_s));
    EXPECT_TRUE(settings.protectedIDs().contains(u"com.x.y"_s));
}

TEST_F(SettingsViewTest, RowsAreSortedAndRemoveExactlyOne) {
    settings.add(u"zz.last"_s);
    settings.add(u"aa.first"_s);
    QStringList sorted = settings.protectedIDs();
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(settings.protectedIDs(), sorted);

    settings.remove(u"aa.first"_s);
    EXPECT_FALSE(settings.protectedIDs().contains(u"aa.first"_s));
    EXPECT_TRUE(settings.protectedIDs().contains(u"zz.last"_s));
}

TEST_F(SettingsViewTest, ResetBringsBackTheEightDefaults) {
    for (const QString& id : settings.protectedIDs())
        settings.remove(id);
    EXPECT_TRUE(settings.protectedIDs().isEmpty());
    settings.add(u"com.mine"_s);

    settings.reset();
    QStringList defaults = Protection::defaultProtected();
    defaults.sort();
    EXPECT_EQ(defaults.size(), 8);
    EXPECT_EQ(settings.protectedIDs(), defaults);
}

TEST_F(SettingsViewTest, PrivacyLinkIsTheFullDiskAccessPane) {
    EXPECT_EQ(SettingsController::privacySettingsUrl(),
              u"x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"_s);
}

} // namespace
} // namespace moss
