#pragma once

// Drives the window's QML views headless in tests: a QQuickView on the
// offscreen platform showing the content view of the module with its own
// store, with helpers to find items by objectName and click or type into them.

#include "ContentView.h"
#include "Printers.h"
#include "QmlModule.h"
#include "Sandbox.h"
#include "Store.h"
#include "Wait.h"
#include "platform/FileSystem.h"

#include <QAccessible>
#include <QDropEvent>
#include <QMimeData>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace moss::test {

using namespace Qt::Literals::StringLiterals;

// The first item named `name` in the visual tree under `from`.
inline QQuickItem* findItem(QQuickItem* from, const QString& name, bool visibleOnly = false) {
    if (!from || (visibleOnly && !from->isVisible()))
        return nullptr;
    if (from->objectName() == name)
        return from;
    for (QQuickItem* child : from->childItems())
        if (QQuickItem* found = findItem(child, name, visibleOnly))
            return found;
    return nullptr;
}
// Shows the window that `component` creates.
inline std::unique_ptr<QQuickWindow> showWindow(QQmlComponent& component) {
    std::unique_ptr<QQuickWindow> window(qobject_cast<QQuickWindow*>(component.create()));
    EXPECT_NE(window, nullptr) << qPrintable(component.errorString());
    if (window) {
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    return window;
}
inline void clickItem(QQuickWindow& window, const QQuickItem* item) {
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier,
                      item->mapToScene(item->boundingRect().center()).toPoint());
    QTest::qWait(20);
}

class ViewHarness {
public:
    explicit ViewHarness(Store& store) {
        setApplicationIdentity();
        ui::prepareEngine(engine_);
        ui::provide(engine_, store);
        view_ = new QQuickView(&engine_, nullptr);
        view_->setResizeMode(QQuickView::SizeRootObjectToView);
        view_->setFlags(Qt::Window | Qt::FramelessWindowHint);
        view_->resize(ui::idealWidth, ui::idealHeight);
        view_->setSource(ui::moduleFile(u"ContentView"_s));
        EXPECT_EQ(view_->status(), QQuickView::Ready);
        view_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view_));
    }
    ~ViewHarness() { delete view_; }

    // The first visible item, in the visual tree, whose objectName is name.
    QQuickItem* find(const QString& name) const {
        return findItem(view_->contentItem(), name, true);
    }

    void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
        ASSERT_NE(item, nullptr);
        // Once sliding sheets and toasts have come to rest.
        const auto centre = [item] { return item->mapToScene(item->boundingRect().center()); };
        QPointF last = centre();
        waitFor([&] {
            QTest::qWait(20);
            const QPointF now = centre();
            return std::exchange(last, now) == now && view_->contentItem()->contains(now);
        });
        clickAt(last.toPoint(), button);
    }
    void clickAt(QPoint point, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(view_, button, Qt::NoModifier, point);
        settle();
    }
    void key(Qt::Key key) {
        QTest::keyClick(view_, key);
        settle();
    }
    QQuickItem* focused() const { return view_->activeFocusItem(); }
    // How screen readers name the item, and the role they give it.
    static std::pair<QString, QAccessible::Role> accessible(QObject* item) {
        QAccessibleInterface* face = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
        return face ? std::pair(face->text(QAccessible::Name), face->role())
                    : std::pair(QString(), QAccessible::NoRole);
    }
    // A drag from a source that offers `actions` enters at `point` (the
    // answer to its first move is what the source hears) and drops: the
    // action the window takes it with, IgnoreAction when it refuses.
    Qt::DropAction dragAndDrop(const QMimeData& mime, QPoint point, Qt::DropActions actions) {
        QDragEnterEvent enter(point, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QDragMoveEvent move(point, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(point, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        deliver(enter, actions);
        const Qt::DropAction taken = deliver(move, actions);
        EXPECT_EQ(deliver(drop, actions), taken);
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(view_, &leave);
        settle();
        return taken;
    }
    // Opens the bundle at path in the store and waits for its search and
    // for the sheet to come to rest.
    Session* openAndSearch(Store& store, const QString& path) {
        store.open(QStringList{path});
        Session* session = store.session();
        EXPECT_TRUE(session && waitFor([&] { return !session->isSearching(); }));
        EXPECT_TRUE(waitFor([&] {
            const QQuickItem* sheet = find(u"sheet"_s);
            return sheet && sheet->property("progress").toDouble() == 1.0;
        }));
        settle();
        return session;
    }

    // Lets bindings, animations and queued work run.
    static void settle() { QTest::qWait(50); }
    static QString text(const QQuickItem* item) {
        return item ? item->property("text").toString() : QString();
    }

private:
    Qt::DropAction deliver(QDropEvent& event, Qt::DropActions actions) {
        if (actions & Qt::MoveAction)
            event.setDropAction(Qt::MoveAction);
        QCoreApplication::sendEvent(view_, &event);
        settle();
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    }
    QQmlEngine engine_;
    QQuickView* view_ = nullptr;
};

// A sandboxed application "Tiny Paint" with four leftovers in the home
// Library: its support folder, preferences, caches and saved state.
struct DemoApp {
    explicit DemoApp(Sandbox& sandbox) {
        sandbox.activate();
        path = sandbox.makeBundle(u"home/Applications/Tiny Paint.app"_s,
                                  {{u"CFBundleIdentifier"_s, u"org.example.tinypaint"_s},
                                   {u"CFBundleName"_s, u"Tiny Paint"_s},
                                   {u"CFBundleShortVersionString"_s, u"2.1"_s},
                                   {u"CFBundlePackageType"_s, u"APPL"_s}});
        for (const char* file :
             {"Application Support/Tiny Paint/data", "Preferences/org.example.tinypaint.plist",
              "Caches/org.example.tinypaint/cache.db",
              "Saved Application State/org.example.tinypaint.savedState/windows.plist"})
            sandbox.writeFile(u"home/Library/"_s + QString::fromUtf8(file), QByteArray(5000, 'x'));
    }
    QString path;
};

} // namespace moss::test
