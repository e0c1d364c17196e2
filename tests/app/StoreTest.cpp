// The store and the uninstall session, driven through the event loop in a
// sandbox home with a few applications and their leftovers.

#include "Store.h"

#include "Sandbox.h"
#include "Wait.h"
#include "platform/ByteCount.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace moss {
namespace {

// Runs the event loop until `done` holds; a generous deadline, since the
// sanitizer builds run these tasks many times slower.
template <typename Predicate> bool runUntil(Predicate done) {
    return test::waitFor(done, 120'000);
}

bool onMainThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// Counts the change signals of a store or session, and those emitted off the
// main thread.
class ThreadWitness {
public:
    ~ThreadWitness() {
        for (const QMetaObject::Connection& connection : connections_)
            QObject::disconnect(connection);
    }

    template <typename Object>
    void watch(Object* object, std::initializer_list<void (Object::*)()> notifiers) {
        for (auto notifier : notifiers)
            connections_.append(QObject::connect(
                object, notifier, object,
                [this] {
                    ++changes;
                    if (!onMainThread())
                        ++offMainThread;
                },
                Qt::DirectConnection));
    }

    void watch(Store* store) {
        watch(store,
              {&Store::screenChanged, &Store::kindChanged, &Store::sectionsChanged,
               &Store::isLoadingListChanged, &Store::queryChanged, &Store::sessionChanged,
               &Store::toastChanged, &Store::lastRemovalChanged, &Store::alertChanged,
               &Store::protectedIDsChanged, &Store::showSystemChanged, &Store::rozudOdizuvChanged});
    }

    void watch(Session* session) {
        watch(session,
              {&Session::filesChanged, &Session::selectedChanged, &Session::isSearchingChanged,
               &Session::isRemovingChanged, &Session::runningChanged});
    }

    int changes = 0;
    int offMainThread = 0;

private:
    QList<QMetaObject::Connection> connections_;
};

QVariantMap info(const QString& identifier, const QString& name) {
    return {{u"CFBundleIdentifier"_s, identifier}, {u"CFBundleName"_s, name}};
}

QStringList urlsOf(const QList<FoundFile>& files) {
    QStringList urls;
    for (const FoundFile& file : files)
        urls.append(file.url);
    return urls;
}

QSet<QString> defaultTicks(const QList<FoundFile>& files) {
    QSet<QString> ticks;
    for (const FoundFile& file : files)
        if (file.selectedByDefault)
            ticks.insert(file.url);
    return ticks;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.activate();
        setApplicationIdentity();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           sandbox.path(u"home/.config"_s));
        resetStore();
        witness.watch(&store);
        opened = QObject::connect(&store, &Store::sessionChanged, &store, [this] {
            if (store.session())
                sessions.append(store.session());
        });
        foo = sandbox.makeBundle(u"home/Applications/Foo.app"_s,
                                 info(u"com.example.foo"_s, u"Foo"_s));
        bar =
            sandbox.makeBundle(u"home/Applications/Bar.app"_s, info(u"org.sample.bar"_s, u"Bar"_s));
        fooPreferences =
            sandbox.writeFile(u"home/Library/Preferences/com.example.foo.plist"_s, "<plist/>");
        fooCaches = sandbox.writeFile(u"home/Library/Caches/com.example.foo/data.db"_s, "cache");
        fooCaches = fs::parentPath(fooCaches);
    }

    void TearDown() override {
        // No task of this test may outlive its sandbox.
        const auto busy = [](const QPointer<Session>& pointer) {
            const Session* session = pointer.get();
            return session != nullptr && (session->isSearching() || session->isRemoving());
        };
        EXPECT_TRUE(runUntil([&] { return std::none_of(sessions.begin(), sessions.end(), busy); }));
        QObject::disconnect(opened);
        EXPECT_EQ(witness.offMainThread, 0);
        resetStore();
    }

    static void resetStore() {
        Store& shared = Store::shared();
        shared.setSession(nullptr);
        shared.setAlert(std::nullopt);
        shared.setToast(std::nullopt);
        shared.setScreen(Store::Screen::drop);
        shared.setKind(BundleKind::Application);
        shared.setQuery({});
        shared.clearInstalledCache();
    }

    Session* openAndSearch(const QString& path) {
        store.open(QStringList{path});
        Session* session = store.session();
        if (!session)
            return nullptr;
        witness.watch(session);
        EXPECT_TRUE(runUntil([session] { return !session->isSearching(); }));
        return session;
    }

    void waitForRemoval(Session* session) {
        EXPECT_TRUE(runUntil([&] { return store.session() != session || !session->isRemoving(); }));
    }

    test::Sandbox sandbox;
    Store& store = Store::shared();
    ThreadWitness witness;
    QMetaObject::Connection opened;
    QList<QPointer<Session>> sessions; // every session the store showed
    QString foo, bar, fooPreferences, fooCaches;
};

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
    EXPECT_EQ(store.alert()->message, u"Оно встроено в macOS, удалить его нельзя."_s);
    EXPECT_FALSE(store.alert()->removeAnyway);
    EXPECT_EQ(store.session(), nullptr);

    store.setAlert(std::nullopt);
    store.open(calculator, true, false);
    EXPECT_FALSE(store.alert());
    ASSERT_NE(store.session(), nullptr);
    EXPECT_TRUE(store.session()->fromTrash());
}

TEST_F(StoreTest, UserProtectedBundlesAskFirstAndOpenWithRemoveAnyway) {
    store.setProtectedIDs({u"com.example.foo"_s});
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
    EXPECT_TRUE(store.protectedIDs().contains(u"com.example.foo"_s));

    store.setSession(nullptr);
    store.open(*AppBundle::load(foo), true, false);
    EXPECT_FALSE(store.alert());
    EXPECT_NE(store.session(), nullptr);
}

TEST_F(StoreTest, RemoveAnywayDoesNothingOnceTheStoreIsGone) {
    auto other = std::make_unique<Store>();
    other->setProtectedIDs({u"com.example.foo"_s});
    other->open(QStringList{foo});
    ASSERT_TRUE(other->alert());
    const std::function<void()> action = other->alert()->removeAnyway;
    other.reset();
    action();
    EXPECT_EQ(store.session(), nullptr);
}

// MARK: Searching

TEST_F(StoreTest, ANewSessionIsSearchingBeforeItsSearchStarts) {
    const QSharedPointer<Session> session = Session::create(*AppBundle::load(foo), false);
    EXPECT_TRUE(session->isSearching());
    EXPECT_FALSE(session->isRemoving());
    EXPECT_TRUE(session->files().isEmpty());
    EXPECT_TRUE(session->selected().isEmpty());
    EXPECT_TRUE(session->running().isEmpty());
    EXPECT_EQ(session->selectedSize(), 0);
}

TEST_F(StoreTest, SearchRunsOffTheMainThreadAndTicksTheDefaults) {
    store.open(QStringList{foo});
    Session* session = store.session();
    ASSERT_NE(session, nullptr);
    witness.watch(session);
    // search() returned at once: the scan has not published yet.
    EXPECT_TRUE(session->isSearching());
    EXPECT_TRUE(session->files().isEmpty());
    EXPECT_FALSE(session->property("canRemove").toBool());

    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    ASSERT_FALSE(session->files().isEmpty());
    EXPECT_EQ(session->files().first().category, FileCategory::bundle);
    EXPECT_EQ(session->files().first().url, foo);
    EXPECT_TRUE(urlsOf(session->files()).contains(fooPreferences));
    EXPECT_FALSE(urlsOf(session->files()).contains(bar));
    EXPECT_EQ(session->selected(), defaultTicks(session->files()));
    EXPECT_TRUE(session->running().isEmpty());

    // A repeated search discards manual ticks.
    session->setChecked(fooPreferences, !session->isChecked(fooPreferences));
    EXPECT_NE(session->selected(), defaultTicks(session->files()));
    session->search();
    EXPECT_TRUE(session->isSearching());
    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    EXPECT_EQ(session->selected(), defaultTicks(session->files()));
    EXPECT_GT(witness.changes, 0);
}

TEST_F(StoreTest, ASessionFromTheTrashListsNoBundleAndNothingRunning) {
    Session* session = nullptr;
    store.open(*AppBundle::load(foo), true, false);
    session = store.session();
    ASSERT_NE(session, nullptr);
    witness.watch(session);
    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    EXPECT_TRUE(urlsOf(session->files()).contains(fooPreferences));
    for (const FoundFile& file : session->files())
        EXPECT_NE(file.category, FileCategory::bundle) << file.url.toStdString();
    EXPECT_TRUE(session->running().isEmpty());
    EXPECT_EQ(session->property("subtitle").toString(),
              u"Приложение уже в Корзине — остались его файлы"_s);
}

TEST_F(StoreTest, ADroppedSessionsLateSearchChangesNothingShown) {
    store.open(QStringList{foo});
    Session* dropped = store.session();
    ASSERT_NE(dropped, nullptr);
    // Read when the dropped session publishes: it is released right after.
    std::optional<QList<FoundFile>> droppedFiles;
    const auto published = QObject::connect(dropped, &Session::filesChanged, dropped,
                                            [&] { droppedFiles = dropped->files(); });

    store.open(QStringList{bar});
    Session* current = store.session();
    ASSERT_NE(current, dropped);
    int sessionChanges = 0;
    const auto connection =
        QObject::connect(&store, &Store::sessionChanged, &store, [&] { ++sessionChanges; });
    witness.watch(current);

    ASSERT_TRUE(runUntil([&] { return droppedFiles && !current->isSearching(); }));
    QObject::disconnect(connection);
    QObject::disconnect(published);
    EXPECT_EQ(store.session(), current);
    EXPECT_EQ(sessionChanges, 0);
    EXPECT_EQ(current->files().first().url, bar);
    EXPECT_FALSE(urlsOf(current->files()).contains(fooPreferences));
    // The results went into the dropped session, which stayed alive for them.
    EXPECT_TRUE(urlsOf(*droppedFiles).contains(fooPreferences));
}

// MARK: Session values

TEST_F(StoreTest, SelectionSizeCountsOnlyListedFilesAndCountTextAgrees) {
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    const QList<FoundFile>& files = session->files();
    session->setSelected({fooPreferences, u"/nowhere/gone.plist"_s});
    const auto preferences = std::find_if(
        files.begin(), files.end(), [&](const FoundFile& f) { return f.url == fooPreferences; });
    ASSERT_NE(preferences, files.end());
    EXPECT_EQ(session->selectedFiles(), QList<FoundFile>{*preferences});
    EXPECT_EQ(session->selectedSize(), preferences->size);
    EXPECT_EQ(session->property("countText").toString(),
              u"Выбрано 2 файла · "_s + formatByteCount(preferences->size));

    const QList<std::pair<int, QString>> forms = {
        {0, u"файлов"_s},  {1, u"файл"_s},    {2, u"файла"_s},   {4, u"файла"_s},
        {5, u"файлов"_s},  {11, u"файлов"_s}, {12, u"файлов"_s}, {14, u"файлов"_s},
        {21, u"файл"_s},   {22, u"файла"_s},  {25, u"файлов"_s}, {101, u"файл"_s},
        {104, u"файла"_s}, {111, u"файлов"_s}};
    for (const auto& [n, noun] : forms) {
        QSet<QString> urls;
        for (int i = 0; i < n; ++i)
            urls.insert(u"/x/"_s + QString::number(i));
        session->setSelected(urls);
        EXPECT_EQ(session->property("countText").toString(),
                  u"Выбрано "_s + QString::number(n) + u' ' + noun + u" · "_s + formatByteCount(0));
    }
}

TEST_F(StoreTest, GroupedFilesFollowTheDisplayOrderAndTheTicks) {
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    SessionFilesModel* model = session->groupedFiles();
    ASSERT_EQ(model->rowCount(), session->files().size());

    const auto& order = allFileCategories();
    const auto position = [&](const QString& title) {
        return std::find_if(order.begin(), order.end(),
                            [&](FileCategory c) { return rawValue(c) == title; }) -
               order.begin();
    };
    int preferencesRow = -1;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row);
        const auto title = [&](int r) {
            return model->data(model->index(r), SessionFilesModel::categoryTitleRole).toString();
        };
        if (row > 0) {
            EXPECT_LE(position(title(row - 1)), position(title(row)));
        }
        EXPECT_EQ(model->data(index, SessionFilesModel::checkedRole).toBool(),
                  session->isChecked(model->data(index, SessionFilesModel::pathRole).toString()));
        if (model->data(index, SessionFilesModel::pathRole) == fooPreferences)
            preferencesRow = row;
    }
    ASSERT_GE(preferencesRow, 0);
    const QModelIndex preferences = model->index(preferencesRow);
    EXPECT_EQ(model->data(preferences, SessionFilesModel::nameRole), u"com.example.foo.plist"_s);
    EXPECT_EQ(model->data(preferences, SessionFilesModel::folderRole), u"~/Library/Preferences"_s);
    EXPECT_EQ(model->data(preferences, SessionFilesModel::categoryTitleRole),
              rawValue(FileCategory::preferences));

    const bool wasChecked = session->isChecked(fooPreferences);
    int checkChanges = 0;
    QObject::connect(model, &QAbstractItemModel::dataChanged, model, [&] { ++checkChanges; });
    EXPECT_TRUE(model->setData(preferences, !wasChecked, SessionFilesModel::checkedRole));
    EXPECT_EQ(session->isChecked(fooPreferences), !wasChecked);
    EXPECT_EQ(checkChanges, 1);

    const auto groups = session->grouped();
    qsizetype grouped = 0;
    for (const auto& [category, members] : groups) {
        EXPECT_FALSE(members.isEmpty());
        grouped += members.size();
    }
    EXPECT_EQ(grouped, session->files().size());
}

TEST_F(StoreTest, HomeFolderIsShownAsTildeOnlyAsAWholePrefix) {
    const QString home = fs::homePath();
    EXPECT_EQ(displayFolder(home + u"/a.txt"_s), u"~"_s);
    EXPECT_EQ(displayFolder(home + u"/Library/x"_s), u"~/Library"_s);
    EXPECT_EQ(displayFolder(home + u"-other/x"_s), home + u"-other"_s);
    EXPECT_EQ(displayFolder(u"/Library/Caches/x"_s), u"/Library/Caches"_s);
}

// MARK: Removal and undo

TEST_F(StoreTest, RemovalShowsAToastClosesTheSessionAndClearsTheCache) {
    store.setScreen(Store::Screen::list);
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
    EXPECT_TRUE(store.property("canUndo").toBool());

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
    EXPECT_EQ(store.alert()->message,
              u"Дайте Mossbin полный доступ к диску в Системных настройках и повторите.\n\n"_s +
                  sorted.mid(0, 6).join(u'\n'));
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

TEST_F(StoreTest, AnUndoEntryWithNothingTrashedCannotBeUndone) {
    const QString vanishing =
        sandbox.writeFile(u"home/Library/Preferences/com.example.foo.extra.plist"_s, "<plist/>");
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(fs::moveNoReplace(vanishing, sandbox.path(u"gone.plist"_s)));
    session->setSelected({vanishing});
    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return !session->isRemoving(); }));
    ASSERT_TRUE(store.lastRemoval());
    EXPECT_TRUE(store.lastRemoval()->trashed.isEmpty());
    EXPECT_FALSE(store.property("canUndo").toBool());
    ASSERT_TRUE(runUntil([&] { return !session->isSearching(); }));

    store.setToast(std::nullopt);
    store.undoLastRemoval();
    EXPECT_FALSE(store.toast());
    EXPECT_TRUE(store.lastRemoval());
}

TEST_F(StoreTest, RemovingNothingTickedDoesNothing) {
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    session->setSelected({u"/not/listed"_s});
    store.remove(session);
    EXPECT_FALSE(session->isRemoving());
    EXPECT_EQ(store.session(), session);
}

// MARK: The installed list

AppBundle listed(const QString& name, const std::optional<QString>& identifier) {
    AppBundle bundle;
    bundle.url = u"/Apps/"_s + name + u".app"_s;
    bundle.displayName = name;
    bundle.bundleIdentifier = identifier;
    return bundle;
}

TEST(FilterSections, BlankQueriesSystemSectionsAndCaseInsensitiveMatches) {
    const QList<CatalogSection> sections = {
        {u"Пользователь"_s,
         false,
         {listed(u"Alpha"_s, u"com.example.alpha"_s), listed(u"Бета"_s, std::nullopt)}},
        {u"Система"_s, true, {listed(u"Gamma Tool"_s, u"org.gamma.TOOL"_s)}}};

    EXPECT_EQ(filterSections(sections, BundleKind::Application, true, u" \t "_s), sections);
    EXPECT_EQ(filterSections(sections, BundleKind::Application, false, {}), sections);
    EXPECT_EQ(filterSections(sections, BundleKind::Plugin, true, {}), sections);
    EXPECT_EQ(filterSections(sections, BundleKind::Plugin, false, {}),
              QList<CatalogSection>{sections.first()});
    EXPECT_EQ(filterSections(sections, BundleKind::Widget, false, {}),
              QList<CatalogSection>{sections.first()});

    const auto names = [&](const QString& query) {
        QStringList found;
        for (const CatalogSection& section :
             filterSections(sections, BundleKind::Application, true, query))
            for (const AppBundle& bundle : section.bundles)
                found.append(section.title + u'/' + bundle.displayName);
        return found;
    };
    EXPECT_EQ(names(u"ALPHA"_s), QStringList{u"Пользователь/Alpha"_s});
    EXPECT_EQ(names(u" example "_s), QStringList{u"Пользователь/Alpha"_s});
    EXPECT_EQ(names(u"gamma.tool"_s), QStringList{u"Система/Gamma Tool"_s});
    EXPECT_EQ(names(u"бЕТ"_s), QStringList{u"Пользователь/Бета"_s});
    // A Latin "a" is not the Cyrillic "а" of "Бета".
    EXPECT_EQ(names(u"a"_s), (QStringList{u"Пользователь/Alpha"_s, u"Система/Gamma Tool"_s}));
    EXPECT_TRUE(names(u"nothing"_s).isEmpty());
    // Line breaks are not trimmed.
    EXPECT_TRUE(names(u"\nalpha"_s).isEmpty());
}

TEST_F(StoreTest, LoadListFillsTheFilteredModel) {
    sandbox.makeBundle(u"home/Applications/Бета.app"_s, info(u"org.example.beta"_s, u"Бета"_s));
    store.setProtectedIDs({u"org.sample.bar"_s});
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
    EXPECT_EQ(model->data(row, InstalledListModel::protectionRole), u"userProtected"_s);
    EXPECT_EQ(model->data(row, InstalledListModel::inProtectedListRole), true);
    EXPECT_EQ(model->data(row, InstalledListModel::sectionTitleRole),
              Catalog::titles(BundleKind::Application).first);
    EXPECT_EQ(model->data(row, InstalledListModel::subtitleRole), u"org.sample.bar"_s);

    store.setProtected(u"org.sample.bar"_s, false);
    EXPECT_EQ(model->data(model->index(0), InstalledListModel::protectionRole), u"none"_s);

    store.setQuery(u"бета"_s);
    ASSERT_EQ(model->rowCount(), 1);
    store.openInstalled(model->data(model->index(0), InstalledListModel::pathRole).toString());
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().displayName, u"Бета"_s);
}

TEST_F(StoreTest, ScreenAndKindAreReadAndWrittenByName) {
    EXPECT_EQ(store.property("screen").toString(), u"drop"_s);
    EXPECT_TRUE(store.setProperty("screen", u"list"_s));
    EXPECT_EQ(store.screen(), Store::Screen::list);
    store.setProperty("screen", u"List"_s);
    EXPECT_EQ(store.screen(), Store::Screen::list);

    EXPECT_EQ(store.property("kind").toString(), u"application"_s);
    store.setProperty("kind", u"widget"_s);
    EXPECT_EQ(store.kind(), BundleKind::Widget);
    store.setProperty("kind", u"Widget"_s);
    EXPECT_EQ(store.kind(), BundleKind::Widget);
}

// MARK: Settings

TEST_F(StoreTest, SettingsReadTheirDefaultsWithoutWritingThem) {
    const QStringList& defaults = Protection::defaultProtected();
    EXPECT_EQ(store.protectedIDs(), QSet<QString>(defaults.begin(), defaults.end()));
    EXPECT_TRUE(store.showSystem());
    EXPECT_FALSE(store.rozudOdizuv());
    QSettings settings;
    for (const QString& key :
         {SettingsKey::protectedApps(), SettingsKey::showSystem(), SettingsKey::rozudOdizuv()})
        EXPECT_FALSE(settings.contains(key)) << key.toStdString();
}

TEST_F(StoreTest, SettingsSurviveInUserDefaultsUnderTheirKeys) {
    store.setProtectedIDs({u"zeta.app"_s, u"alpha.app"_s, u"Alpha.app"_s});
    store.setShowSystem(false);
    store.setRozudOdizuv(true);
    QSettings().sync();

    QSettings settings;
    EXPECT_EQ(settings.value(SettingsKey::protectedApps()).toString(),
              u"Alpha.app\nalpha.app\nzeta.app"_s);
    EXPECT_EQ(settings.value(SettingsKey::showSystem()).toBool(), false);
    EXPECT_EQ(settings.value(SettingsKey::rozudOdizuv()).toBool(), true);

    Store other;
    EXPECT_EQ(other.protectedIDs(), (QSet<QString>{u"zeta.app"_s, u"alpha.app"_s, u"Alpha.app"_s}));
    EXPECT_EQ(other.property("protectedIDs").toStringList(),
              (QStringList{u"Alpha.app"_s, u"alpha.app"_s, u"zeta.app"_s}));
    EXPECT_FALSE(other.showSystem());
    EXPECT_TRUE(other.rozudOdizuv());

    // Empty lines are no identifiers.
    settings.setValue(SettingsKey::protectedApps(), u"\none\n\n two \n"_s);
    EXPECT_EQ(other.protectedIDs(), (QSet<QString>{u"one"_s, u" two "_s}));
}

TEST_F(StoreTest, ProtectedListEditing) {
    store.setProtectedIDs({});
    store.addProtectedID(u"  com.x.y\t"_s);
    store.addProtectedID(u" \t "_s);
    store.addProtectedID(u"COM.X.Y"_s);
    EXPECT_EQ(store.protectedIDs(), (QSet<QString>{u"com.x.y"_s, u"COM.X.Y"_s}));
    store.setProtected(u"com.x.y"_s, false);
    EXPECT_EQ(store.protectedIDs(), QSet<QString>{u"COM.X.Y"_s});
    store.resetProtectedIDs();
    const QStringList& defaults = Protection::defaultProtected();
    EXPECT_EQ(store.protectedIDs(), QSet<QString>(defaults.begin(), defaults.end()));
}

} // namespace
} // namespace moss
