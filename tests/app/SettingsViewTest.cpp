// The settings window driven headless against a store's settings.

#include "QmlModule.h"
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

QQuickItem* find(QQuickItem* from, const QString& name) {
    if (from->objectName() == name)
        return from;
    for (QQuickItem* child : from->childItems())
        if (QQuickItem* found = find(child, name))
            return found;
    return nullptr;
}

TEST(SettingsViewTest, ProtectedIdentifiersAndTheRozudOdizuvSwitch) {
    test::Sandbox sandbox;
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
    const std::unique_ptr<QQuickWindow> window(qobject_cast<QQuickWindow*>(component.create()));
    ASSERT_NE(window, nullptr) << qPrintable(component.errorString());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const auto item = [&](const QString& name) { return find(window->contentItem(), name); };
    const auto type = [&](const char* text) {
        for (const char* c = text; *c; ++c)
            QTest::keyClick(window.get(), *c);
    };
    const auto click = [&](QQuickItem* target) {
        ASSERT_NE(target, nullptr);
        target->forceActiveFocus(); // the form scrolls to the focused control
        QTest::qWait(20);
        QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier,
                          target->mapToScene(target->boundingRect().center()).toPoint());
        QTest::qWait(20);
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
    const auto hint = [&] { return item(u"accessHint"_s) && item(u"accessHint"_s)->isVisible(); };
    EXPECT_FALSE(hint());
    flip(u"rozudOdizuvSwitch"_s);
    EXPECT_TRUE(settings.rozudOdizuv());
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(hint());
    flip(u"rozudOdizuvSwitch"_s);
    EXPECT_FALSE(settings.rozudOdizuv());
    EXPECT_FALSE(hint());
    flip(u"showSystemSwitch"_s);
    EXPECT_FALSE(settings.showSystem());
    EXPECT_EQ(applied, 2);
    window.reset();
    QSettings().clear();
}

} // namespace
} // namespace moss
