// The installed list as shown and a session's files grouped for the sheet.

#include "ReasonText.h"
#include "StoreSandbox.h"

namespace moss::test {
namespace {

using StoreModelsTest = StoreSandbox;

TEST_F(StoreModelsTest, RolesOfTheInstalledListAndOfTheGroupedFiles) {
    store.settings().setProtectedIDs({u"org.sample.bar"_s});
    store.loadList();
    Session* session = openAndSearch(foo);
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(runUntil([&] { return !store.isLoadingList(); }));
    store.setQuery(u"sample.bar"_s);
    InstalledListModel* list = store.filteredModel();
    ASSERT_EQ(list->rowCount(), 1);
    SessionFilesModel* files = session->groupedFiles();
    ASSERT_EQ(files->rowCount(), session->files().size());
    QModelIndex preferences;
    for (int row = 0; row < files->rowCount(); ++row)
        if (files->data(files->index(row), SessionFilesModel::pathRole) == fooPreferences)
            preferences = files->index(row);
    ASSERT_TRUE(preferences.isValid());
    using L = InstalledListModel;
    using F = SessionFilesModel;
    const struct {
        QModelIndex index;
        int role;
        QVariant value;
    } rows[] = {
        {list->index(0), L::pathRole, bar},
        {list->index(0), L::protectionRole, QVariant::fromValue(ProtectionStatus::UserProtected)},
        {list->index(0), L::inProtectedListRole, true},
        {list->index(0), L::sectionTitleRole, Catalog::titles(BundleKind::Application).first},
        {list->index(0), L::subtitleRole, u"org.sample.bar"_s},
        {preferences, F::nameRole, u"com.example.foo.plist"_s},
        {preferences, F::folderRole, u"~/Library/Preferences"_s},
        {preferences, F::categoryTitleRole, rawValue(FileCategory::preferences)},
        {preferences, F::checkedRole, session->isChecked(fooPreferences)},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.index.data(row.role), row.value) << row.role;

    // The list follows the protected list; the tick is writable, announced once.
    store.settings().setProtected(u"org.sample.bar"_s, false);
    EXPECT_EQ(list->index(0).data(L::protectionRole), QVariant::fromValue(ProtectionStatus::None));
    const bool wasChecked = session->isChecked(fooPreferences);
    int checkChanges = 0;
    QObject::connect(files, &QAbstractItemModel::dataChanged, files, [&] { ++checkChanges; });
    EXPECT_TRUE(files->setData(preferences, !wasChecked, F::checkedRole));
    EXPECT_EQ(session->isChecked(fooPreferences), !wasChecked);
    EXPECT_EQ(checkChanges, 1);
}

TEST(StoreModels, ReasonsInTheSheetsWordsAndFoldersWithATilde) {
    using M = FoundReason::Match;
    using D = FoundReason::Doubt;
    const struct {
        FoundReason reason;
        QString match, doubt;
    } rows[] = {
        {{}, u"Само приложение"_s, {}},
        {{M::identifier, u"com.a.S"_s, D::none, {}}, u"Совпадает с идентификатором com.a.S"_s, {}},
        {{M::name, u"S"_s, D::foreignWord, {}},
         u"Совпадает с именем «S»"_s,
         u"не отмечено: после имени идёт чужое слово"_s},
        {{M::name, u"S"_s, D::otherClaim, u"Other App"_s},
         u"Совпадает с именем «S»"_s,
         u"не отмечено: больше похоже на «Other App»"_s},
        {{M::team, u"ABCDE12345"_s, D::partialName, {}},
         u"Группа разработчика ABCDE12345"_s,
         u"не отмечено: имя — лишь часть названия"_s},
        {{M::launchProgram, u"/A/S.app/x"_s, D::none, {}},
         u"Служба запускает программу из приложения"_s,
         {}},
        {{M::launchLabel, u"com.a.s.agent"_s, D::none, {}},
         u"Служба названа по приложению: com.a.s.agent"_s,
         {}},
        {{M::launchBundle, u"com.a.S"_s, D::none, {}},
         u"Служба относится к приложению com.a.S"_s,
         {}},
        {{M::installer, u"S"_s, D::installer, {}},
         u"Установщик «S»"_s,
         u"установщики не отмечаются"_s},
        {{M::unitTrigger, u"sync.service"_s, D::commonName, {}},
         u"Запускает найденную службу sync.service"_s,
         u"не отмечено: имя слишком короткое или общее"_s},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(matchText(row.reason), row.match);
        EXPECT_EQ(doubtText(row.reason), row.doubt);
    }
    // The home is shown as a tilde only as a whole prefix.
    const QString home = fs::homePath();
    EXPECT_EQ(displayFolder(home + u"/a.txt"_s), u"~"_s);
    EXPECT_EQ(displayFolder(home + u"/Library/x"_s), u"~/Library"_s);
    EXPECT_EQ(displayFolder(home + u"-other/x"_s), home + u"-other"_s);
}

TEST(StoreModels, SystemSectionsShowPerKindAndQueriesIgnoreCase) {
    AppBundle alpha, gamma;
    alpha.url = u"/Apps/Alpha.app"_s;
    alpha.displayName = u"Alpha"_s;
    alpha.bundleIdentifier = u"com.example.alpha"_s;
    gamma.url = u"/Apps/Gamma.app"_s;
    gamma.displayName = u"Gamma"_s;
    const QList<CatalogSection> sections = {{u"User"_s, false, {alpha}},
                                            {u"System"_s, true, {gamma}}};
    const QList<CatalogSection> user{sections.first()};
    EXPECT_EQ(filterSections(sections, BundleKind::Application, true, u" \t "_s), sections);
    EXPECT_EQ(filterSections(sections, BundleKind::Application, false, {}), sections);
    EXPECT_EQ(filterSections(sections, BundleKind::Plugin, false, {}), user);
    EXPECT_EQ(filterSections(sections, BundleKind::Application, true, u" EXAMPLE "_s), user);
    EXPECT_TRUE(filterSections(sections, BundleKind::Application, true, u"\nalpha"_s).isEmpty());
}

} // namespace
} // namespace moss::test
