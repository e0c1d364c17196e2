// The settings window driven headless against a store's settings.

#include "ViewHarness.h"

#include <QSettings>

namespace moss::test {
namespace {

TEST(SettingsViewTest, ProtectedIdentifiersAndTheRozudOdizuvSwitch) {
    Sandbox sandbox;
    sandbox.activate();
    setApplicationIdentity();
    QSettings().clear();
    Store store;
    Settings& settings = store.settings();
    int applied = 0; // the watcher applies every change
    QObject::connect(&settings, &Settings::rozudOdizuvChanged, [&] { ++applied; });
    QQmlEngine engine;
    ui::prepareEngine(engine);
    ui::provide(engine, store);
    QQmlComponent component(&engine, ui::moduleFile(u"SettingsView"_s));
    std::unique_ptr<QQuickWindow> window = showWindow(component);
    ASSERT_NE(window, nullptr);
    const auto item = [&](const QString& name) { return findItem(window->contentItem(), name); };
    const auto type = [&](const char* text) {
        for (const char* c = text; *c; ++c)
            QTest::keyClick(window.get(), *c);
    };
    const auto click = [&](QQuickItem* target) {
        ASSERT_NE(target, nullptr);
        target->forceActiveFocus(); // the form scrolls to the focused control
        QTest::qWait(20);
        clickItem(*window, target);
    };
    QQuickItem* field = item(u"newIDField"_s);
    QQuickItem* add = item(u"addButton"_s);
    ASSERT_TRUE(field && add);

    // Blanks are trimmed; Return does not add; the field empties after adding.
    field->forceActiveFocus();
    type("   ");
    EXPECT_FALSE(add->isEnabled());
    type("com.x.y ");
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_FALSE(settings.protectedIDs().contains(u"com.x.y"_s));
    click(add);
    EXPECT_TRUE(settings.protectedIDs().contains(u"com.x.y"_s));
    EXPECT_EQ(field->property("text").toString(), QString());
    EXPECT_FALSE(add->isEnabled());
    field->forceActiveFocus();
    type("COM.X.Y");
    click(add);
    click(item(u"remove:com.x.y"_s));
    EXPECT_FALSE(settings.protectedIDs().contains(u"com.x.y"_s));
    EXPECT_TRUE(settings.protectedIDs().contains(u"COM.X.Y"_s));

    // A Trash that cannot be listed, whoever runs the test, brings the hint.
    sandbox.writeFile(u"home/.local/share/Trash/files"_s, "not a folder");
    const auto flip = [&](const QString& row) { click(item(row)->childItems().constLast()); };
    const auto hint = [&] { return findItem(window->contentItem(), u"accessHint"_s, true); };
    EXPECT_EQ(hint(), nullptr);
    flip(u"rozudOdizuvSwitch"_s);
    EXPECT_TRUE(settings.rozudOdizuv());
    EXPECT_EQ(applied, 1);
    EXPECT_NE(hint(), nullptr);
    flip(u"rozudOdizuvSwitch"_s);
    EXPECT_FALSE(settings.rozudOdizuv());
    EXPECT_EQ(hint(), nullptr);
    flip(u"showSystemSwitch"_s);
    EXPECT_FALSE(settings.showSystem());
    EXPECT_EQ(applied, 2);
    window.reset();
    QSettings().clear();
}

} // namespace
} // namespace moss::test
