// The theme's controls driven headless: the pill button clicks only when
// enabled, and a segmented switch highlights only a selection it offers.

#include "ViewHarness.h"

namespace moss::test {
namespace {

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

TEST(ThemeTest, PillsClickOnlyWhenEnabledAndASwitchHighlightsOnlyItsOptions) {
    QQmlEngine engine;
    ui::prepareEngine(engine);
    QQmlComponent component(&engine);
    component.setData(controlsQml, QUrl(u"qrc:/ThemeTest.qml"_s));
    const std::unique_ptr<QQuickWindow> window = showWindow(component);
    ASSERT_NE(window, nullptr);
    const auto item = [&](const QString& name) { return findItem(window->contentItem(), name); };
    clickItem(*window, item(u"outline"_s));
    EXPECT_EQ(window->property("clicks").toInt(), 0);
    clickItem(*window, item(u"filled"_s));
    EXPECT_EQ(window->property("clicks").toInt(), 1);

    const QQuickItem* highlight = findItem(item(u"firstSwitch"_s), u"segmentedHighlight"_s);
    EXPECT_FALSE(highlight->isVisible()); // no option matches "none"
    const QQuickItem* beta = item(u"segment:Бета"_s);
    clickItem(*window, beta);
    EXPECT_EQ(window->property("first").toString(), u"b"_s);
    EXPECT_TRUE(highlight->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(highlight->x() - (beta->x() + 3)) < 0.5; }));
}

} // namespace
} // namespace moss::test
