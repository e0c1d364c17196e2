// The theme's controls driven headless: the pill button's enabled, disabled
// and pressed behaviour, the segmented switch's highlight, and figures set with
// digits of one width.

#include "QmlModule.h"

#include <QColor>
#include <QFont>
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

// Two pill buttons and two segmented switches over owner values that start
// outside their options, and two sizes whose digits differ in natural width.
constexpr auto controlsQml = R"(
import QtQuick
import QtQuick.Window
import Mossbin

Window {
    id: root
    width: 400
    height: 200
    property int clicks: 0
    property var first: "none"
    property var second: "b"

    PillButton {
        objectName: "outline"
        x: 10; y: 10
        text: "Закрыть"
        enabled: false
        onClicked: ++root.clicks
    }
    PillButton {
        objectName: "filled"
        x: 200; y: 10
        filled: true
        text: "Удалить"
        onClicked: ++root.clicks
    }
    Segmented {
        objectName: "firstSwitch"
        x: 10; y: 80
        options: [{ value: "a", title: "Альфа" }, { value: "b", title: "Бета" }]
        selection: root.first
        onSelected: value => root.first = value
    }
    Segmented {
        objectName: "secondSwitch"
        x: 10; y: 140
        options: [{ value: "a", title: "Один" }, { value: "b", title: "Два" }]
        selection: root.second
        onSelected: value => root.second = value
    }
    TabularText {
        objectName: "narrowDigits"
        y: 170
        text: "11,1 МБ"
    }
    TabularText {
        objectName: "wideDigits"
        x: 200; y: 170
        text: "88,8 МБ"
    }
}
)";

class ThemeTest : public ::testing::Test {
protected:
    void SetUp() override {
        prepareEngine(engine);
        QQmlComponent component(&engine);
        component.setData(controlsQml, QUrl(u"qrc:/ThemeTest.qml"_s));
        window.reset(qobject_cast<QQuickWindow*>(component.create()));
        ASSERT_NE(window, nullptr) << qPrintable(component.errorString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // The first item of that name in the visual tree.
    QQuickItem* find(const QString& name) const { return find(window->contentItem(), name); }
    static QQuickItem* find(QQuickItem* from, const QString& name) {
        if (from->objectName() == name)
            return from;
        for (QQuickItem* child : from->childItems())
            if (QQuickItem* found = find(child, name))
                return found;
        return nullptr;
    }
    QPoint centre(const QQuickItem* item) const {
        return item->mapToScene({item->width() / 2, item->height() / 2}).toPoint();
    }
    void click(const QQuickItem* item) {
        QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, centre(item));
        QTest::qWait(20);
    }
    static QColor color(const QObject* item, const char* property = "color") {
        return item->property(property).value<QColor>();
    }
    // The title text of one option of a switch.
    QColor titleColor(const QString& option) const {
        const QQuickItem* segment = find(u"segment:"_s + option);
        for (const QQuickItem* child : segment ? segment->childItems() : QList<QQuickItem*>())
            if (child->property("text").toString() == option)
                return color(child);
        return {};
    }
    const QQuickItem* highlight(const QString& switchName) const {
        return find(find(switchName), u"segmentedHighlight"_s);
    }

    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
};

// A disabled pill ignores presses and clicks; a pressed one shrinks about
// its centre, springs back and clicks once.
TEST_F(ThemeTest, PillsPressAndClickOnlyWhenEnabled) {
    for (const auto& [name, clicks, pressedScale] :
         {std::tuple(u"outline"_s, 0, 1.0), std::tuple(u"filled"_s, 1, 0.95)}) {
        QQuickItem* button = find(name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->transformOrigin(), QQuickItem::Center);
        const QPoint point = centre(button);
        QTest::mousePress(window.get(), Qt::LeftButton, Qt::NoModifier, point);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return std::abs(button->scale() - pressedScale) < 0.002;
        })) << name.toStdString();
        QTest::mouseRelease(window.get(), Qt::LeftButton, Qt::NoModifier, point);
        EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(button->scale() - 1.0) < 0.002; }));
        EXPECT_EQ(window->property("clicks").toInt(), clicks) << name.toStdString();
    }
}

TEST_F(ThemeTest, SwitchWithoutAMatchingValueShowsNoHighlightUntilClicked) {
    const QColor muted = titleColor(u"Альфа"_s);
    EXPECT_NE(muted, QColor(Qt::white));
    EXPECT_FALSE(highlight(u"firstSwitch"_s)->isVisible());
    EXPECT_EQ(titleColor(u"Бета"_s), muted);

    click(find(u"segment:Бета"_s));
    EXPECT_EQ(window->property("first").toString(), u"b"_s);
    EXPECT_TRUE(highlight(u"firstSwitch"_s)->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return titleColor(u"Бета"_s) == QColor(Qt::white); }));
    EXPECT_EQ(titleColor(u"Альфа"_s), muted);
}

TEST_F(ThemeTest, TwoSwitchesMoveTheirHighlightsIndependently) {
    const QQuickItem* second = highlight(u"secondSwitch"_s);
    const QQuickItem* secondOption = find(u"segment:Два"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->x() == secondOption->x() + 3; }));

    click(find(u"segment:Альфа"_s));
    click(find(u"segment:Бета"_s));
    const QQuickItem* first = highlight(u"firstSwitch"_s);
    const QQuickItem* beta = find(u"segment:Бета"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::abs(first->x() - (beta->x() + 3)) < 0.5; }));
    EXPECT_EQ(second->x(), secondOption->x() + 3);
    EXPECT_EQ(window->property("second").toString(), u"b"_s);
}

TEST_F(ThemeTest, FiguresTakeTheSameWidthWhateverTheirDigits) {
    const QQuickItem* narrow = find(u"narrowDigits"_s);
    const QQuickItem* wide = find(u"wideDigits"_s);
    ASSERT_TRUE(narrow && wide);
    EXPECT_GT(narrow->implicitWidth(), 0);
    EXPECT_DOUBLE_EQ(narrow->implicitWidth(), wide->implicitWidth());

    // The letters keep the interface font and their natural run.
    QStringList runs;
    for (const QQuickItem* child : narrow->childItems())
        if (child->property("text").isValid()) {
            runs << child->property("text").toString();
            EXPECT_EQ(child->property("font").value<QFont>().family(), u"Inter"_s);
        }
    EXPECT_EQ(runs, (QStringList{u"1"_s, u"1"_s, u","_s, u"1"_s, u" МБ"_s}));
}

} // namespace
} // namespace moss::ui
