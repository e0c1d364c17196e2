// The theme's controls driven headless: the pill button clicks only when
// enabled, and a segmented switch highlights only a selection it offers.

#include "QmlModule.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace moss::ui {
namespace {

using namespace Qt::Literals::StringLiterals;

// Two pill buttons and a segmented switch over an owner value outside its
// options.
constexpr auto controlsQml = R"(
import QtQuick
import QtQuick.Window
import Mossbin
Window {
    id: root
    width: 400; height: 200
    property int clicks: 0
    property var first: "none"
    PillButton { objectName: "outline"; x: 10; y: 10; text: "Закрыть"; enabled: false; onClicked: ++root.clicks }
    PillButton { objectName: "filled"; x: 200; y: 10; filled: true; text: "Удалить"; onClicked: ++root.clicks }
    Segmented {
        objectName: "firstSwitch"; x: 10; y: 80; selection: root.first; onSelected: value => root.first = value
        options: [{ value: "a", title: "Альфа" }, { value: "b", title: "Бета" }]
    }
}
)";

QQuickItem* find(QQuickItem* from, const QString& name) {
    if (from->objectName() == name)
        return from;
    for (QQuickItem* child : from->childItems())
        if (QQuickItem* found = find(child, name))
            return found;
    return nullptr;
}

TEST(ThemeTest, PillsClickOnlyWhenEnabledAndASwitchHighlightsOnlyItsOptions) {
    QQmlEngine engine;
    prepareEngine(engine);
    QQmlComponent component(&engine);
    component.setData(controlsQml, QUrl(u"qrc:/ThemeTest.qml"_s));
    const std::unique_ptr<QQuickWindow> window(qobject_cast<QQuickWindow*>(component.create()));
    ASSERT_NE(window, nullptr) << qPrintable(component.errorString());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const auto item = [&](const QString& name) { return find(window->contentItem(), name); };
    const auto click = [&](const QString& name) {
        const QQuickItem* target = item(name);
        ASSERT_NE(target, nullptr) << name.toStdString();
        QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier,
                          target->mapToScene(target->boundingRect().center()).toPoint());
        QTest::qWait(20);
    };
    click(u"outline"_s);
    EXPECT_EQ(window->property("clicks").toInt(), 0);
    click(u"filled"_s);
    EXPECT_EQ(window->property("clicks").toInt(), 1);

    const QQuickItem* first = find(item(u"firstSwitch"_s), u"segmentedHighlight"_s);
    EXPECT_FALSE(first->isVisible()); // no option matches "none"
    click(u"segment:Бета"_s);
    EXPECT_EQ(window->property("first").toString(), u"b"_s);
    EXPECT_TRUE(first->isVisible());
    const QQuickItem* beta = item(u"segment:Бета"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(first->x() - (beta->x() + 3)) < 0.5; }));
}

} // namespace
} // namespace moss::ui
