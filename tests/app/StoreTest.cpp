// The store driven through the event loop in a sandbox home with a few
// applications and their leftovers.

#include "MachOWriter.h"
#include "RemovedApps.h"
#include "StoreSandbox.h"
#include "Trees.h"
#include "platform/ByteCount.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>

namespace moss::test {
namespace {

using StoreTest = StoreSandbox;

TEST_F(StoreTest, OpeningAlertsAndProtection) {
    const QString notes = sandbox.writeFile(u"home/notes \"1\".txt"_s, "text");
    store.open(QStringList{notes});
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->title, u"Это не приложение"_s);
    EXPECT_EQ(store.alert()->message,
              u"«notes \"1\".txt» не похоже на приложение, плагин или виджет."_s);
    EXPECT_EQ(store.session(), nullptr);

    // A system bundle is refused even when forced.
    AppBundle calculator;
    calculator.url = u"/System/Applications/Calculator.app"_s;
    calculator.kind = BundleKind::Application;
    calculator.bundleIdentifier = u"com.apple.calculator"_s;
    store.open(calculator, SessionSubject::installed, true);
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->title, u"Это приложение защищено"_s);
    EXPECT_EQ(store.alert()->message, u"Оно встроено в систему, удалить его нельзя."_s);
    store.dismissAlert();
    // A bundle the user protected asks first; "remove anyway" opens it.
    store.settings().setProtectedIDs({u"com.example.foo"_s});
    store.open(QStringList{foo, bar});
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->message,
              u"«Foo» в списке защищённых. Список можно изменить в настройках."_s);
    EXPECT_TRUE(store.property("alert").toMap().value(u"hasRemoveAnyway"_s).toBool());
    store.runRemoveAnyway();
    EXPECT_FALSE(store.alert());
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().url, foo); // only the first path opens
}

// An application of the removed ones' section opens without its row, says it
// is gone, and ticks only what one of its identifiers names.
TEST_F(StoreTest, ARemovedApplicationsSheetTicksOnlyIdentifierMatches) {
    using Match = FoundReason::Match;
    const QString data = sandbox.makeDir(u"home/.var/app/org.gnome.Maps"_s);
    const QString home = sandbox.home();
    const auto item = [](const QString& url, FileCategory category, Match match, bool ticked) {
        return FoundFile{url, category, 0, false, ticked, {match, {}, {}, {}}};
    };
    QList<FoundFile> found{
        item(u"/nowhere/Maps"_s, FileCategory::bundle, Match::application, true),
        item(data, FileCategory::containers, Match::identifier, true),
        item(home + u"/.config/maps"_s, FileCategory::preferences, Match::name, true),
        item(home + u"/.cache/org.gnome.Maps.T"_s, FileCategory::caches, Match::identifier, false)};
    store.setSessionScan([&](const AppBundle&, const QList<AppBundle>&,
                             const ScanObserver& observer, const std::stop_token&) {
        for (const FoundFile& file : found)
            observer.admitted(file);
        return found;
    });
    store.loadList();
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));
    ASSERT_EQ(store.sections().last().title, RemovedApps::sectionTitle());
    store.openInstalled(store.sections().last().bundles.value(0).url);
    Session* session = store.session();
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(runUntil([session] { return !session->isSearching(); }));
    EXPECT_EQ(session->bundle().bundleIdentifier, u"org.gnome.Maps"_s);
    EXPECT_EQ(session->property("subtitle").toString(),
              u"Приложение удалено — остались его файлы"_s);
    found.removeFirst();
    EXPECT_EQ(session->files(), found);
    EXPECT_EQ(session->selected(), QSet<QString>{data});
}

TEST_F(StoreTest, ADroppedSessionsSearchStopsAndChangesNothingShown) {
    store.open(QStringList{foo});
    const QPointer<Session> dropped = store.session();
    store.open(QStringList{bar});
    Session* current = store.session();
    ASSERT_NE(current, dropped);
    int sessionChanges = 0;
    QObject::connect(&store, &Store::sessionChanged, current, [&] { ++sessionChanges; });
    witness.watch(current);
    ASSERT_TRUE(runUntil([&] { return dropped.isNull() && !current->isSearching(); }));
    EXPECT_EQ(store.session(), current);
    EXPECT_EQ(sessionChanges, 0);
    EXPECT_FALSE(urlsOf(current->files()).contains(fooPreferences));
}

TEST_F(StoreTest, RemovalShowsAToastReloadsTheListAndUndoes) {
    store.setScreen(Store::Screen::List);
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    session->setSelected({foo, fooPreferences, fooCaches});
    const qint64 size = session->selectedSize();
    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return store.session() == nullptr; }));
    EXPECT_EQ(store.toast(), u"Foo удалено · освобождено "_s + formatByteCount(size));
    EXPECT_EQ(store.lastRemoval()->trashed.size(), 3);
    EXPECT_FALSE(fs::exists(foo));
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));
    for (const CatalogSection& section : store.sections())
        for (const AppBundle& bundle : section.bundles)
            EXPECT_NE(bundle.url, foo);

    store.undoLastRemoval();
    EXPECT_EQ(store.toast(), u"Возвращено из Корзины: 3 из 3"_s);
    EXPECT_FALSE(store.canUndo());
    EXPECT_TRUE(fs::exists(foo));
    EXPECT_TRUE(fs::exists(fooCaches + u"/data.db"_s));
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));
    store.setToast(std::nullopt);
    store.undoLastRemoval(); // nothing left to undo: no toast either
    EXPECT_FALSE(store.toast());

    // Opened from the list, a bundle is searched with its team, as if dropped.
    sandbox.writeFile(u"home/Applications/Foo.app/Contents/_CodeSignature/CodeDirectory"_s,
                      tools::codeDirectory({}));
    store.openInstalled(foo);
    ASSERT_NE(store.session(), nullptr);
    EXPECT_EQ(store.session()->bundle().teamIdentifier, u"TEAM012345"_s);
}

// Items vanish between the search and the removal, and the caches go through
// the copy with a write landing after it: they end half-moved, their index in
// the Trash. The alert lists six failures, sorted; the session searches again;
// the next removal joins the entry, and one undo puts everything back.
TEST_F(StoreTest, PartlyFailedRemovalsAlertAndStayUndoableTogether) {
    const QString index = sandbox.writeFile(u"home/Library/Caches/com.example.foo/index"_s, "i");
    const QString cacheFile = fooCaches + u"/data.db"_s;
    QStringList missing;
    for (int i = 7; i >= 1; --i)
        missing.append(sandbox.writeFile(
            u"home/Library/Preferences/com.example.foo.part%1.plist"_s.arg(i), "<plist/>"));
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
    for (const QString& path : missing)
        ASSERT_TRUE(fs::moveNoReplace(path, sandbox.path(u"gone-"_s + fs::lastComponent(path))));
    QSet<QString> ticked(missing.begin(), missing.end());
    session->setSelected(ticked << fooPreferences << fooCaches);
    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return !session->isRemoving() && !session->isSearching(); }));
    ASSERT_TRUE(store.alert());
    EXPECT_EQ(store.alert()->title, u"Часть файлов не удалась"_s);
    std::sort(missing.begin(), missing.end());
    EXPECT_EQ(store.alert()->message,
              fooCaches + u" — изменён во время переноса\n"_s +
                  missing.mid(0, 5).join(u" — файл не найден\n"_s) +
                  u" — файл не найден\n\nЧасть файлов перенесена не полностью: недостающее "
                  "лежит в Корзине, и отмена удаления соберёт их обратно."_s);
    EXPECT_EQ(store.lastRemoval()->trashed.keys(), QStringList{fooPreferences});
    EXPECT_EQ(store.lastRemoval()->halfMoved.keys(), QStringList{fooCaches});
    EXPECT_FALSE(urlsOf(session->files()).contains(fooPreferences));
    EXPECT_EQ(session->selected(), defaultTicks(session->files()));

    store.dismissAlert();
    session->setSelected({foo});
    store.remove(session);
    ASSERT_TRUE(runUntil([&] { return store.session() == nullptr; }));
    EXPECT_EQ(store.lastRemoval()->trashed.keys(), (QStringList{foo, fooPreferences}));
    store.undoLastRemoval();
    EXPECT_EQ(store.toast(), u"Возвращено из Корзины: 3 из 3"_s);
    EXPECT_TRUE(fs::exists(foo));
    EXPECT_TRUE(fs::exists(fooPreferences));
    EXPECT_EQ(fs::readFile(index), QByteArray("i"));
    EXPECT_EQ(fs::readFile(cacheFile), QByteArray("cache late"));
}

// A Flatpak goes through its tool once its leftovers are in the Trash: the
// tool refusing leaves it installed and says why, its leftovers undoable;
// undo after it went brings the leftovers back, byte for byte, and says how
// to install it again.
TEST_F(StoreTest, AFlatpakGoesThroughItsToolAfterItsLeftovers) {
    const QString app = u"home/.local/share/flatpak/app/org.acme.Paint"_s;
    const QString entry = u"export/share/applications/org.acme.Paint.desktop"_s;
    sandbox.writeFile(app + u"/x86_64/stable/abc/deploy"_s, "flathub\0"_ba);
    sandbox.writeFile(app + u"/x86_64/stable/abc/"_s + entry,
                      "[Desktop Entry]\nType=Application\nName=Paint\nX-Flatpak=org.acme.Paint\n");
    sandbox.symlink(u"abc"_s, app + u"/x86_64/stable/active"_s);
    sandbox.symlink(u"x86_64/stable"_s, app + u"/current"_s);
    const QString link = sandbox.symlink(u"../../../app/org.acme.Paint/current/active/"_s + entry,
                                         u"home/.local/share/flatpak/exports/share/applications/"
                                         "org.acme.Paint.desktop"_s);
    const QString leftover = sandbox.writeFile(u"home/.var/app/org.acme.Paint/config/a"_s, "a");
    const QString before = fingerprint(fs::parentPath(fs::parentPath(leftover)));
    // The tool as the store sees it (ToolRunTest runs real programs): it
    // records its command and refuses, then removes the application.
    QStringList commands;
    bool refuses = true;
    RemovalServices services = RemovalServices::live();
    services.runTool = [&](const QString& program, const QStringList& arguments) {
        commands.append(program + u' ' + arguments.join(u' '));
        if (refuses)
            return tools::ToolRun{tools::ToolRun::Outcome::failed, 1, u"error: no"_s};
        QDir(sandbox.path(app)).removeRecursively();
        return tools::ToolRun{tools::ToolRun::Outcome::succeeded, 0, {}};
    };
    store.setRemovalServices(services);
    const QString folder = sandbox.path(app);
    for (const bool refusing : {true, false}) {
        refuses = refusing;
        Session* session = refuses ? openAndSearch(link) : store.session();
        ASSERT_NE(session, nullptr);
        EXPECT_EQ(session->selected(),
                  (QSet<QString>{folder, fs::parentPath(fs::parentPath(leftover))}));
        store.remove(session);
        // A removal that went closes its session, which the store then deletes.
        ASSERT_TRUE(runUntil([&] {
            return !store.isRemoving() && (!store.session() || !store.session()->isSearching());
        }));
        if (refuses) {
            ASSERT_TRUE(store.alert());
            EXPECT_EQ(store.alert()->message,
                      folder + u" — flatpak завершился с кодом 1: error: no"_s);
            EXPECT_TRUE(fs::exists(folder));
            store.undoLastRemoval();
            EXPECT_EQ(fingerprint(fs::parentPath(fs::parentPath(leftover))), before);
            store.dismissAlert();
            session->search(store.installedApps());
            ASSERT_TRUE(runUntil([&] { return !session->isSearching(); }));
        }
    }
    EXPECT_EQ(commands,
              QStringList(2, u"flatpak uninstall --noninteractive --user org.acme.Paint"_s));
    EXPECT_FALSE(fs::exists(folder));
    store.undoLastRemoval();
    EXPECT_EQ(store.toast(), u"Возвращено из Корзины: 1 из 1. Файлы вернулись, а само приложение "
                             "установите снова командой flatpak install --user flathub "
                             "org.acme.Paint"_s);
    EXPECT_EQ(fingerprint(fs::parentPath(fs::parentPath(leftover))), before);

    // A Debian package's entry stays for apt: its row cannot be ticked.
    Session* debian =
        openAndSearch(sandbox.writeFile(u"usr/share/applications/org.acme.Ink.desktop"_s,
                                        "[Desktop Entry]\nType=Application\nName=Ink\n"));
    ASSERT_NE(debian, nullptr);
    debian->setChecked(debian->files().value(0).url, true);
    EXPECT_TRUE(debian->selected().isEmpty());
}

} // namespace
} // namespace moss::test
