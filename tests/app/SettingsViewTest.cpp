#include "SettingsView.h"

#include "ContentView.h"
#include "Protection.h"
#include "Sandbox.h"
#include "Store.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>
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

// The settings window itself, driven headless against the fixture's
// controller.
SettingsController* shownSettings = nullptr;

void registerSettings() {
    static const bool registered = [] {
        qmlRegisterSingletonType<SettingsController>(
            "Mossbin.Shell", 1, 0, "Settings", [](QQmlEngine*, QJSEngine*) -> QObject* {
                QQmlEngine::setObjectOwnership(shownSettings, QQmlEngine::CppOwnership);
                return shownSettings;
            });
        return true;
    }();
    Q_UNUSED(registered);
}

class SettingsWindowTest : public SettingsViewTest {
protected:
    void SetUp() override {
        SettingsViewTest::SetUp();
        shownSettings = &settings;
        registerSettings();
        ui::prepareEngine(engine);
        QQmlComponent component(&engine, ui::moduleFile(u"SettingsView"_s));
        window.reset(qobject_cast<QQuickWindow*>(component.create()));
        ASSERT_NE(window, nullptr) << qPrintable(component.errorString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        shownSettings = nullptr;
        SettingsViewTest::TearDown();
    }

    QQuickItem* find(const QString& name) const { return window->findChild<QQuickItem*>(name); }
    bool shown(const QString& name) const {
        const QQuickItem* item = find(name);
        return item && item->isVisible();
    }
    void clickAt(const QQuickItem* item, QPointF local) {
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier,
                          item->mapToScene(local).toPoint());
        QTest::qWait(20);
    }
    void click(const QQuickItem* item) {
        ASSERT_NE(item, nullptr);
        clickAt(item, {item->width() / 2, item->height() / 2});
    }
    // Clicks the switch at the right end of a labelled switch row.
    void flip(const QString& row) {
        const QQuickItem* item = find(row);
        ASSERT_NE(item, nullptr);
        const QQuickItem* toggle = item->childItems().constLast();
        click(toggle);
    }
    void type(const QString& text) {
        QQuickItem* field = find(u"newIDField"_s);
        ASSERT_NE(field, nullptr);
        field->forceActiveFocus();
        for (const QChar c : text)
            QTest::keyClick(window.get(), c.toLatin1());
        QTest::qWait(20);
    }
    QString fieldText() const { return find(u"newIDField"_s)->property("text").toString(); }

    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
};

TEST_F(SettingsWindowTest, AddButtonTrimsBlanksAndEmptiesTheField) {
    type(u"   "_s);
    EXPECT_FALSE(find(u"addButton"_s)->isEnabled());

    QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_Backspace);
    type(u" com.x.y "_s);
    EXPECT_TRUE(find(u"addButton"_s)->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_FALSE(settings.protectedIDs().contains(u"com.x.y"_s));

    click(find(u"addButton"_s));
    EXPECT_TRUE(settings.protectedIDs().contains(u"com.x.y"_s));
    EXPECT_EQ(fieldText(), QString());
    EXPECT_FALSE(find(u"addButton"_s)->isEnabled());

    type(u"COM.X.Y"_s);
    click(find(u"addButton"_s));
    EXPECT_TRUE(settings.protectedIDs().contains(u"COM.X.Y"_s));
    EXPECT_TRUE(settings.protectedIDs().contains(u"com.x.y"_s));
    EXPECT_EQ(fieldText(), QString());
}

TEST_F(SettingsWindowTest, SwitchingRozudOdizuvShowsTheHintAndAppliesOnce) {
    trashAccess = false;
    EXPECT_FALSE(shown(u"accessHint"_s));
    EXPECT_EQ(applied, 0);

    flip(u"rozudOdizuvSwitch"_s);
    EXPECT_TRUE(settings.rozudOdizuv());
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(shown(u"accessHint"_s));

    flip(u"rozudOdizuvSwitch"_s);
    EXPECT_FALSE(settings.rozudOdizuv());
    EXPECT_EQ(applied, 2);
    EXPECT_FALSE(shown(u"accessHint"_s));

    flip(u"showSystemSwitch"_s);
    EXPECT_FALSE(settings.showSystem());
    EXPECT_EQ(applied, 2);
}

} // namespace
} // namespace moss
