// The store driven through the event loop in a sandbox home with a few
// applications and their leftovers.

#include "MachOWriter.h"
#include "StoreSandbox.h"
#include "platform/ByteCount.h"
#include "platform/Workspace.h"

#include <QFile>

namespace moss::test {
namespace {

using StoreTest = StoreSandbox;

// MARK: Opening bundles

TEST_F(StoreTest, OpeningSomethingThatIsNotABundleRaisesAnAlert) {
    store.open(QStringList{});
    EXPECT_FALSE(store.alert());

    const QString notes = sandbox.writeFile(u"home/notes \"1\".txt"_s, "text");
    store.open(QStringList{notes});
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->title, u"Это не приложение"_s);
    EXPECT_EQ(store.alert()->message,
              u"«notes \"1\".txt» не похоже на приложение, плагин или виджет."_s);
    EXPECT_FALSE(store.alert()->removeAnyway);
    EXPECT_EQ(store.session(), nullptr);
    EXPECT_EQ(store.property("alert").toMap().value(u"hasRemoveAnyway"_s), false);
}

TEST_F(StoreTest, OpeningTwoPathsOpensOnlyTheFirst) {
    int activations = 0;
    const auto connection =
        QObject::connect(&store, &Store::activationRequested, &store, [&] { ++activations; });
    Session* session = openAndSearch(bar);
    store.open(QStringList{foo, bar});
    ASSERT_NE(store.session(), nullptr);
    EXPECT_NE(store.session(), session);
    EXPECT_EQ(store.session()->bundle().url, foo);
    EXPECT_FALSE(store.alert());
    EXPECT_EQ(activations, 2);
    QObject::disconnect(connection);
}

TEST_F(StoreTest, SystemBundlesAreRefusedEvenWhenForcedButOpenFromTheTrash) {
    AppBundle calculator;
    calculator.url = u"/System/Applications/Calculator.app"_s;
    calculator.kind = BundleKind::Application;
    calculator.bundleIdentifier = u"com.apple.calculator"_s;
    calculator.displayName = u"Calculator"_s;

    store.open(calculator, false, true);
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->title, u"Это приложение защищено"_s);
    EXPECT_EQ(store.alert()->message, u"Оно встроено в систему, удалить его нельзя."_s);
    EXPECT_FALSE(store.alert()->removeAnyway);
    EXPECT_EQ(store.session(), nullptr);

    store.dismissAlert();
    store.open(calculator, true, false);
    EXPECT_FALSE(store.alert());
    ASSERT_NE(store.session(), nullptr);
    EXPECT_TRUE(store.session()->fromTrash());
}

TEST_F(StoreTest, UserProtectedBundlesAskFirstAndOpenWithRemoveAnyway) {
    store.settings().setProtectedIDs({u"com.example.foo"_s});
    store.open(QStringList{foo});
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->title, u"Это приложение защищено"_s);
    EXPECT_EQ(store.alert()->message,
              u"«Foo» в списке защищённых. Список можно изменить в настройках."_s);
    EXPECT_TRUE(store.property("alert").toMap().value(u"hasRemoveAnyway"_s).toBool());
    EXPECT_EQ(store.session(), nullptr);

    store.runRemoveAnyway();
    EXPECT_FALSE(store.alert());
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().url, foo);
    EXPECT_FALSE(store.session()->fromTrash());
    EXPECT_TRUE(store.settings().protectedIDs().contains(u"com.example.foo"_s));

    store.closeSession();
    store.open(*AppBundle::load(foo), true, false);
    EXPECT_FALSE(store.alert());
    EXPECT_NE(store.session(), nullptr);
}

TEST_F(StoreTest, RemoveAnywayDoesNothingOnceTheStoreIsGone) {
    auto other = std::make_unique<Store>();
    other->settings().setProtectedIDs({u"com.example.foo"_s});
    other->open(QStringList{foo});
    ASSERT_TRUE(other->alert());
    const std::function<void()> action = other->alert()->removeAnyway;
    other.reset();
    action();
    EXPECT_EQ(store.session(), nullptr);
}

TEST_F(StoreTest, ADroppedSessionsSearchStopsAndChangesNothingShown) {
    store.open(QStringList{foo});
    const QPointer<Session> dropped = store.session();
    ASSERT_NE(dropped, nullptr);

    store.open(QStringList{bar});
    Session* current = store.session();
    ASSERT_NE(current, dropped);
    int sessionChanges = 0;
    const auto connection =
        QObject::connect(&store, &Store::sessionChanged, &store, [&] { ++sessionChanges; });
    witness.watch(current);

    // The dropped session's search ends and the session goes with it.
    ASSERT_TRUE(runUntil([&] { return dropped.isNull() && !current->isSearching(); }));
    QObject::disconnect(connection);
    EXPECT_EQ(store.session(), current);
    EXPECT_EQ(sessionChanges, 0);
    EXPECT_EQ(current->files().first().url, bar);
    EXPECT_FALSE(urlsOf(current->files()).contains(fooPreferences));
}

TEST_F(StoreTest, RemovalShowsAToastClosesTheSessionAndClearsTheCache) {
    store.setScreen(Store::Screen::List);
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    session->setSelected({foo, fooPreferences, fooCaches});
    const qint64 size = session->selectedSize();

    // The search filled the cache; an application installed now is not in it.
    const QString baz =
        sandbox.makeBundle(u"home/Applications/Baz.app"_s, info(u"net.other.baz"_s, u"Baz"_s));
    QList<AppBundle> cached;
    store.installedApps().then(&store, [&](const QList<AppBundle>& apps) { cached = apps; });
    ASSERT_TRUE(runUntil([&] { return !cached.isEmpty(); }));
    const auto hasBundle = [](const QList<AppBundle>& apps, const QString& url) {
        return std::any_of(apps.begin(), apps.end(),
                           [&](const AppBundle& a) { return a.url == url; });
    };
    EXPECT_TRUE(hasBundle(cached, foo));
    EXPECT_FALSE(hasBundle(cached, baz));

    store.remove(session);
    EXPECT_TRUE(session->isRemoving());
    ASSERT_TRUE(runUntil([&] { return store.session() == nullptr; }));
    EXPECT_EQ(store.toast(), u"Foo удалено · освобождено "_s + formatByteCount(size));
    EXPECT_FALSE(store.alert());
    ASSERT_TRUE(store.lastRemoval());
    EXPECT_EQ(store.lastRemoval()->name, u"Foo"_s);
    EXPECT_EQ(QSet<QString>(store.lastRemoval()->trashed.keyBegin(),
                            store.lastRemoval()->trashed.keyEnd()),
              (QSet<QString>{foo, fooPreferences, fooCaches}));
    EXPECT_FALSE(fs::exists(foo));
    EXPECT_FALSE(fs::exists(fooPreferences));
    EXPECT_TRUE(store.canUndo());

    // The list screen reloads, and the cache is built anew.
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));
    QList<AppBundle> fresh;
    store.installedApps().then(&store, [&](const QList<AppBundle>& apps) { fresh = apps; });
    ASSERT_TRUE(runUntil([&] { return !fresh.isEmpty(); }));
    EXPECT_FALSE(hasBundle(fresh, foo));
    EXPECT_TRUE(hasBundle(fresh, baz));
    for (const CatalogSection& section : store.sections())
        EXPECT_FALSE(hasBundle(section.bundles, foo));

    store.undoLastRemoval();
    EXPECT_EQ(store.toast(), u"Возвращено из Корзины: 3 из 3"_s);
    EXPECT_FALSE(store.lastRemoval());
    EXPECT_TRUE(fs::exists(foo));
    EXPECT_TRUE(fs::exists(fooPreferences));
    EXPECT_TRUE(fs::exists(fooCaches + u"/data.db"_s));
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));

    // Nothing left to undo: no toast either.
    store.setToast(std::nullopt);
    store.undoLastRemoval();
    EXPECT_FALSE(store.toast());
}

TEST_F(StoreTest, RemovalWithFailuresAlertsWithSixSortedPathsAndSearchesAgain) {
    QStringList missing;
    for (int i = 7; i >= 1; --i)
        missing.append(sandbox.writeFile(
            u"home/Library/Preferences/com.example.foo.part%1.plist"_s.arg(i), "<plist/>"));
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    for (const QString& path : missing)
        ASSERT_TRUE(urlsOf(session->files()).contains(path)) << path.toStdString();

    // The items vanish between the search and the removal.
    for (const QString& path : missing)
        ASSERT_TRUE(fs::moveNoReplace(path, sandbox.path(u"gone-"_s + fs::lastComponent(path))));
    QSet<QString> ticked(missing.begin(), missing.end());
    ticked.insert(fooPreferences);
    session->setSelected(ticked);

    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return !session->isRemoving(); }));
    ASSERT_TRUE(store.alert());
    QStringList sorted = missing;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(store.alert()->title, u"Часть файлов не удалась"_s);
    QStringList lines;
    for (const QString& path : sorted.mid(0, 6))
        lines.append(path + u" — файл не найден"_s);
    EXPECT_EQ(store.alert()->message, lines.join(u'\n'));
    EXPECT_FALSE(store.toast());
    EXPECT_EQ(store.session(), session);
    ASSERT_TRUE(store.lastRemoval());
    EXPECT_EQ(store.lastRemoval()->trashed.keys(), QStringList{fooPreferences});

    // Searched again: the vanished and the trashed items are gone from the list.
    EXPECT_TRUE(session->isSearching());
    ASSERT_TRUE(runUntil([&] { return !session->isSearching(); }));
    EXPECT_FALSE(urlsOf(session->files()).contains(fooPreferences));
    EXPECT_FALSE(urlsOf(session->files()).contains(missing.first()));
    EXPECT_EQ(session->selected(), defaultTicks(session->files()));
}

TEST_F(StoreTest, ARemovalThatMovesNothingLeavesNothingToUndo) {
    const QString vanishing =
        sandbox.writeFile(u"home/Library/Preferences/com.example.foo.extra.plist"_s, "<plist/>");
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(fs::moveNoReplace(vanishing, sandbox.path(u"gone.plist"_s)));
    session->setSelected({vanishing});
    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return !session->isRemoving(); }));
    EXPECT_FALSE(store.lastRemoval());
    EXPECT_FALSE(store.canUndo());
    ASSERT_TRUE(runUntil([&] { return !session->isSearching(); }));

    store.setToast(std::nullopt);
    store.undoLastRemoval();
    EXPECT_FALSE(store.toast());
}

TEST_F(StoreTest, PartlyFailedRemovalsStayUndoableTogether) {
    const QString index = sandbox.writeFile(u"home/Library/Caches/com.example.foo/index"_s, "i");
    const QString cacheFile = fooCaches + u"/data.db"_s;
    const QString gone =
        sandbox.writeFile(u"home/Library/Preferences/com.example.foo.gone.plist"_s, "<plist/>");
    const QString goneLater =
        sandbox.writeFile(u"home/Library/Preferences/com.example.foo.later.plist"_s, "<plist/>");
    // The caches go through the copy, and a write lands in them after it was
    // copied: they end half-moved, their index in the Trash.
    RemovalServices services = RemovalServices::live();
    services.trashItem = [this, live = services.trashItem](const QString& url) {
        return url == fooCaches ? std::nullopt : live(url);
    };
    services.recycle = [cacheFile](const QStringList& urls) {
        return workspace::recycle(urls, [cacheFile](const QString&, const QString&) {
            QFile file(cacheFile);
            if (file.open(QIODevice::Append))
                file.write(" late");
        });
    };
    store.setRemovalServices(services);
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    const auto removeTicked = [&](const QSet<QString>& ticked) {
        session->setSelected(ticked);
        store.remove(session);
        return runUntil([&] { return !session->isRemoving() && !session->isSearching(); });
    };

    ASSERT_TRUE(fs::moveNoReplace(gone, sandbox.path(u"gone.plist"_s)));
    ASSERT_TRUE(removeTicked({fooPreferences, fooCaches, gone}));
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->message,
              fooCaches + u" — изменён во время переноса\n"_s + gone +
                  u" — файл не найден\n\nЧасть файлов перенесена не полностью: недостающее "
                  "лежит в Корзине, и отмена удаления соберёт их обратно."_s);
    EXPECT_FALSE(fs::exists(index));
    ASSERT_TRUE(store.lastRemoval());
    EXPECT_EQ(store.lastRemoval()->trashed.keys(), QStringList{fooPreferences});
    EXPECT_EQ(store.lastRemoval()->halfMoved.keys(), QStringList{fooCaches});

    // A removal that moves nothing leaves the entry as it was.
    ASSERT_TRUE(fs::moveNoReplace(goneLater, sandbox.path(u"later.plist"_s)));
    ASSERT_TRUE(removeTicked({goneLater}));
    EXPECT_EQ(store.lastRemoval()->trashed.keys(), QStringList{fooPreferences});
    EXPECT_EQ(store.lastRemoval()->halfMoved.keys(), QStringList{fooCaches});

    // The next removal joins it, and one undo puts everything back.
    store.dismissAlert();
    session->setSelected({foo});
    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return store.session() == nullptr; }));
    EXPECT_FALSE(store.alert());
    EXPECT_EQ(store.lastRemoval()->trashed.keys(), (QStringList{foo, fooPreferences}));
    EXPECT_EQ(store.lastRemoval()->name, u"Foo"_s);
    store.undoLastRemoval();
    EXPECT_EQ(store.toast(), u"Возвращено из Корзины: 3 из 3"_s);
    EXPECT_TRUE(fs::exists(foo));
    EXPECT_TRUE(fs::exists(fooPreferences));
    EXPECT_EQ(fs::readFile(index), QByteArray("i"));
    EXPECT_EQ(fs::readFile(cacheFile), QByteArray("cache late"));
}

TEST_F(StoreTest, RemovingNothingTickedDoesNothing) {
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    session->setSelected({u"/not/listed"_s});
    store.remove(session);
    EXPECT_FALSE(session->isRemoving());
    EXPECT_EQ(store.session(), session);
}

TEST_F(StoreTest, LoadListFillsTheFilteredModel) {
    QVariantMap betaInfo = info(u"org.example.beta"_s, u"Бета"_s);
    betaInfo.insert(u"CFBundleExecutable"_s, u"beta"_s);
    sandbox.makeBundle(u"home/Applications/Бета.app"_s, betaInfo);
    sandbox.writeFile(u"home/Applications/Бета.app/Contents/MacOS/beta"_s,
                      tools::thinMachO(tools::MachOSlice{}));
    store.settings().setProtectedIDs({u"org.sample.bar"_s});
    QList<bool> loading;
    const auto connection = QObject::connect(&store, &Store::isLoadingListChanged, &store,
                                             [&] { loading.append(store.isLoadingList()); });
    store.loadList();
    EXPECT_TRUE(store.isLoadingList());
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));
    QObject::disconnect(connection);
    EXPECT_EQ(loading, (QList<bool>{true, false}));

    InstalledListModel* model = store.filteredModel();
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(
            model->data(model->index(row), InstalledListModel::displayNameRole).toString());
    EXPECT_TRUE(names.contains(u"Foo"_s));
    EXPECT_TRUE(names.contains(u"Bar"_s));

    store.setQuery(u"  sample.BAR "_s);
    ASSERT_EQ(model->rowCount(), 1);
    const QModelIndex row = model->index(0);
    EXPECT_EQ(model->data(row, InstalledListModel::pathRole), bar);
    EXPECT_EQ(model->data(row, InstalledListModel::protectionRole),
              QVariant::fromValue(ProtectionStatus::UserProtected));
    EXPECT_EQ(model->data(row, InstalledListModel::inProtectedListRole), true);
    EXPECT_EQ(model->data(row, InstalledListModel::sectionTitleRole),
              Catalog::titles(BundleKind::Application).first);
    EXPECT_EQ(model->data(row, InstalledListModel::subtitleRole), u"org.sample.bar"_s);

    store.settings().setProtected(u"org.sample.bar"_s, false);
    EXPECT_EQ(model->data(model->index(0), InstalledListModel::protectionRole),
              QVariant::fromValue(ProtectionStatus::None));

    store.setQuery(u"бета"_s);
    ASSERT_EQ(model->rowCount(), 1);
    store.openInstalled(model->data(model->index(0), InstalledListModel::pathRole).toString());
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().displayName, u"Бета"_s);
    // Searched with its team, as when dropped; the list itself has none.
    EXPECT_EQ(store.session()->bundle().teamIdentifier, u"TEAM012345"_s);
}

} // namespace
} // namespace moss::test
