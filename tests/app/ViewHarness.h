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
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <gtest/gtest.h>

namespace moss::test {

class ViewHarness {
public:
    explicit ViewHarness(Store& store) {
        setApplicationIdentity();
        ui::prepareEngine(engine_);
        ui::provide(engine_, store);
        view_ = new QQuickView(&engine_, nullptr);
        view_->setResizeMode(QQuickView::SizeRootObjectToView);
        // As the main window: no system title bar, the view's own buttons.
        view_->setFlags(Qt::Window | Qt::FramelessWindowHint);
        view_->resize(ui::idealWidth, ui::idealHeight);
        view_->setSource(ui::moduleFile(QStringLiteral("ContentView")));
        EXPECT_EQ(view_->status(), QQuickView::Ready) << qPrintable(errors());
        view_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view_));
    }
    ~ViewHarness() { delete view_; }
    ViewHarness(const ViewHarness&) = delete;
    ViewHarness& operator=(const ViewHarness&) = delete;

    QQuickView& view() { return *view_; }

    // The first visible item, in the visual tree, whose objectName is name.
    // Menus and other popups live in the window's overlay, outside the root.
    QQuickItem* find(const QString& name) const { return find(view_->contentItem(), name, true); }
    // The same, visible or not.
    QQuickItem* findAny(const QString& name) const {
        return find(view_->contentItem(), name, false);
    }
    QObject* findObject(const QString& name) const {
        return view_->rootObject()->findChild<QObject*>(name);
    }

    void click(QQuickItem* item, Qt::MouseButton button = Qt::LeftButton) {
        ASSERT_NE(item, nullptr);
        const QPointF centre = restingCentre(item);
        clickAt(centre.toPoint(), button);
    }
    void clickAt(QPoint point, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(view_, button, Qt::NoModifier, point);
        settle();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(view_, key, modifiers);
        settle();
    }
    // The item that has the keyboard focus, and how screen readers name it
    // and what role they give it.
    QQuickItem* focused() const { return view_->activeFocusItem(); }
    static QString accessibleName(QObject* item) {
        QAccessibleInterface* face = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
        return face ? face->text(QAccessible::Name) : QString();
    }
    static QAccessible::Role accessibleRole(QObject* item) {
        QAccessibleInterface* face = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
        return face ? face->role() : QAccessible::NoRole;
    }
    // A drag carrying `mime` from a source that offers `actions` (proposing
    // a move when it may) that enters the window at `point`: the action the
    // window takes it with, IgnoreAction when it refuses. Then its drop (the
    // same answer) or its leaving.
    Qt::DropAction dragEnter(const QMimeData& mime, QPoint point,
                             Qt::DropActions actions = Qt::CopyAction) {
        // As the platform does: the answer to the first move is the one the
        // source hears.
        QDragEnterEvent enter(point, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        deliver(enter, actions);
        QDragMoveEvent move(point, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        return deliver(move, actions);
    }
    Qt::DropAction drop(const QMimeData& mime, QPoint point,
                        Qt::DropActions actions = Qt::CopyAction) {
        QDropEvent drop(point, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        return deliver(drop, actions);
    }
    void dragLeave() {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(view_, &leave);
        settle();
    }
    // Opens the bundle at path in the store and waits for its search and
    // for the sheet to come to rest.
    Session* openAndSearch(Store& store, const QString& path) {
        store.open(QStringList{path});
        if (!store.session())
            return nullptr;
        Session* session = store.session();
        EXPECT_TRUE(waitFor([&] { return !session->isSearching(); }));
        EXPECT_TRUE(waitFor([&] {
            const QQuickItem* sheet = find(QStringLiteral("sheet"));
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

    // The item's centre in the window once sliding sheets and toasts have
    // come to rest.
    QPointF restingCentre(QQuickItem* item) const {
        const auto centre = [item] {
            return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        };
        QPointF last = centre();
        waitFor([&] {
            QTest::qWait(20);
            const QPointF now = centre();
            const bool resting = now == last && view_->contentItem()->contains(now);
            last = now;
            return resting;
        });
        return last;
    }

    static QQuickItem* find(QQuickItem* from, const QString& name, bool visibleOnly) {
        if (!from || (visibleOnly && !from->isVisible()))
            return nullptr;
        if (from->objectName() == name)
            return from;
        for (QQuickItem* child : from->childItems())
            if (QQuickItem* found = find(child, name, visibleOnly))
                return found;
        return nullptr;
    }
    QString errors() const {
        QStringList lines;
        for (const QQmlError& error : view_->errors())
            lines << error.toString();
        return lines.join(u'\n');
    }

    QQmlEngine engine_;
    QQuickView* view_ = nullptr;
};

// A sandboxed application "Tiny Paint" with four leftovers in the home
// Library: its support folder, preferences, caches and saved state.
struct DemoApp {
    explicit DemoApp(Sandbox& sandbox, const QVariantMap& info = defaultInfo()) {
        sandbox.activate();
        path = sandbox.makeBundle(QStringLiteral("home/Applications/Tiny Paint.app"), info);
        sandbox.writeFile(QStringLiteral("home/Library/Application Support/Tiny Paint/data"),
                          QByteArray(5000, 'x'));
        sandbox.writeFile(QStringLiteral("home/Library/Preferences/org.example.tinypaint.plist"),
                          "<plist/>");
        sandbox.writeFile(QStringLiteral("home/Library/Caches/org.example.tinypaint/cache.db"),
                          QByteArray(9000, 'c'));
        sandbox.writeFile(
            QStringLiteral("home/Library/Saved Application State/org.example.tinypaint.savedState/"
                           "windows.plist"),
            "<plist/>");
    }
    static QVariantMap defaultInfo() {
        return {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("org.example.tinypaint")},
                {QStringLiteral("CFBundleName"), QStringLiteral("Tiny Paint")},
                {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.1")},
                {QStringLiteral("CFBundlePackageType"), QStringLiteral("APPL")}};
    }
    QString path;
};

} // namespace moss::test
