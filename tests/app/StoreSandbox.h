#pragma once

// A store in a sandbox home with two applications, Foo (with preferences and
// caches left behind) and Bar, driven through the event loop; and a witness
// of the change signals emitted off the main thread.

#include "Sandbox.h"
#include "Store.h"
#include "Wait.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>

namespace moss::test {

using namespace Qt::StringLiterals;

// A generous deadline: the sanitizer builds run these tasks many times slower.
inline constexpr auto runUntil = [](auto done) { return waitFor(done, 120'000); };

// Counts the change signals of a store or session emitted off the main
// thread. It outlives every object it watches.
struct ThreadWitness {
    template <typename Object>
    void watch(Object* object, std::initializer_list<void (Object::*)()> notifiers) {
        for (auto notifier : notifiers)
            QObject::connect(
                object, notifier, object,
                [this] { offMainThread += QThread::currentThread() != qApp->thread(); },
                Qt::DirectConnection);
    }
    void watch(Store* store) {
        watch(store, {&Store::screenChanged, &Store::kindChanged, &Store::sectionsChanged,
                      &Store::isLoadingListChanged, &Store::queryChanged, &Store::sessionChanged,
                      &Store::toastChanged, &Store::lastRemovalChanged, &Store::alertChanged});
    }
    void watch(Session* session) {
        watch(session,
              {&Session::filesChanged, &Session::selectedChanged, &Session::isSearchingChanged,
               &Session::isRemovingChanged, &Session::runningChanged});
    }

    int offMainThread = 0;
};

inline QStringList urlsOf(const QList<FoundFile>& files) {
    QStringList urls;
    for (const FoundFile& file : files)
        urls.append(file.url);
    return urls;
}

inline QSet<QString> defaultTicks(const QList<FoundFile>& files) {
    QSet<QString> ticks;
    for (const FoundFile& file : files)
        if (file.selectedByDefault)
            ticks.insert(file.url);
    return ticks;
}

class StoreSandbox : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        setApplicationIdentity();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           sandbox.path(u"home/.config"_s));
        witness.watch(&store);
        QObject::connect(&store, &Store::sessionChanged, &store,
                         [this] { sessions.append(store.session()); });
        foo = sandbox.makeBundle(u"home/Applications/Foo.app"_s,
                                 info(u"com.example.foo"_s, u"Foo"_s));
        bar =
            sandbox.makeBundle(u"home/Applications/Bar.app"_s, info(u"org.sample.bar"_s, u"Bar"_s));
        fooPreferences =
            sandbox.writeFile(u"home/Library/Preferences/com.example.foo.plist"_s, "<plist/>");
        fooCaches = fs::parentPath(
            sandbox.writeFile(u"home/Library/Caches/com.example.foo/data.db"_s, "cache"));
    }

    // No task of this test may outlive its sandbox.
    void TearDown() override {
        EXPECT_TRUE(runUntil([&] {
            return std::none_of(sessions.begin(), sessions.end(), [](const QPointer<Session>& p) {
                const Session* session = p.get();
                return session != nullptr && (session->isSearching() || session->isRemoving());
            });
        }));
        EXPECT_EQ(witness.offMainThread, 0);
    }

    Session* openAndSearch(const QString& path) {
        store.open(QStringList{path});
        Session* session = store.session();
        if (session) {
            witness.watch(session);
            EXPECT_TRUE(runUntil([session] { return !session->isSearching(); }));
        }
        return session;
    }

    Sandbox sandbox;
    ThreadWitness witness;
    Store store;
    QList<QPointer<Session>> sessions; // every session the store showed
    QString foo, bar, fooPreferences, fooCaches;
};

} // namespace moss::test
