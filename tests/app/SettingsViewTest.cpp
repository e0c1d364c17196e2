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
using test::Sandbox;

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        setApplicationIdentity();
        QSettings().clear();
        QObject::connect(&settings, &Settings::rozudOdizuvChanged, [this] { ++applied; });
        ui::prepareEngine(engine);
        ui::provide(engine, store);
        QQmlComponent component(&engine, ui::moduleFile(u"SettingsView"_s));
        window.reset(qobject_cast<QQuickWindow*>(component.create()));
        ASSERT_NE(window, nullptr) << qPrintable(component.errorString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        QSettings().clear();
    }

    // The first item of that name in the visual tree.
    QQuickItem* find(const QString& name, QQuickItem* from = nullptr) const {
        from = from ? from : window->contentItem();
        if (from->objectName() == name)
            return from;
        for (QQuickItem* child : from->childItems())
            if (QQuickItem* found = find(name, child))
                return found;
        return nullptr;
    }
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
        // As the user would, scrolls the form to show the item first.
        for (QQuickItem* up = item->parentItem(); up; up = up->parentItem()) {
            if (!up->inherits("QQuickFlickable"))
                continue;
            const qreal top = item->mapToItem(up, QPointF()).y();
            if (top < 0 || top + item->height() > up->height())
                up->setProperty("contentY", up->property("contentY").toReal() + top);
            QTest::qWait(20);
            break;
        }
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

    Sandbox sandbox;
    Store store;
    Settings& settings = store.settings();
    int applied = 0; // the watcher applies every change
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
    EXPECT_EQ(fieldText(), QString());

    click(find(u"remove:com.x.y"_s));
    EXPECT_FALSE(settings.protectedIDs().contains(u"com.x.y"_s));
    EXPECT_TRUE(settings.protectedIDs().contains(u"COM.X.Y"_s));
}

TEST_F(SettingsWindowTest, SwitchingRozudOdizuvShowsTheHintAndAppliesOnce) {
    // A Trash that cannot be listed, whoever runs the test.
    sandbox.writeFile(u"home/.local/share/Trash/files"_s, "not a folder");
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
