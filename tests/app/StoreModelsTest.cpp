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
    QModelIndex preferences;
    for (int row = 0; row < files->rowCount(); ++row)
        if (files->data(files->index(row), SessionFilesModel::pathRole) == fooPreferences)
            preferences = files->index(row);
    ASSERT_TRUE(preferences.isValid());
    using L = InstalledListModel;
    using F = SessionFilesModel;
    const QModelIndex bar0 = list->index(0);
    const struct {
        QModelIndex index;
        int role;
        QVariant value;
    } rows[] = {
        {bar0, L::pathRole, bar},
        {bar0, L::protectionRole, QVariant::fromValue(ProtectionStatus::UserProtected)},
        {bar0, L::inProtectedListRole, true},
        {bar0, L::subtitleRole, u"org.sample.bar"_s},
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

FoundReason reason(FoundReason::Match match, const QString& value,
                   FoundReason::Doubt doubt = FoundReason::Doubt::none, const QString& other = {}) {
    return {match, value, doubt, other};
}

TEST(StoreModels, ReasonsInTheSheetsWordsAndFoldersWithATilde) {
    using M = FoundReason::Match;
    using D = FoundReason::Doubt;
    const std::pair<FoundReason, QString> rows[] = {
        {{}, u"Само приложение | "_s},
        {reason(M::identifier, u"com.a.S"_s), u"Совпадает с идентификатором com.a.S | "_s},
        {reason(M::name, u"S"_s, D::foreignWord),
         u"Совпадает с именем «S» | не отмечено: после имени идёт чужое слово"_s},
        {reason(M::name, u"S"_s, D::otherClaim, u"O"_s),
         u"Совпадает с именем «S» | не отмечено: больше похоже на «O»"_s},
        {reason(M::team, u"ABCDE12345"_s, D::partialName),
         u"Группа разработчика ABCDE12345 | не отмечено: имя — лишь часть названия"_s},
        {reason(M::launchProgram, u"/A/S.app/x"_s),
         u"Служба запускает программу из приложения | "_s},
        {reason(M::launchLabel, u"a.s"_s), u"Служба названа по приложению: a.s | "_s},
        {reason(M::launchBundle, u"com.a.S"_s), u"Служба относится к приложению com.a.S | "_s},
        {reason(M::installer, u"S"_s, D::installer),
         u"Установщик «S» | установщики не отмечаются"_s},
        {reason(M::unitTrigger, u"s.service"_s, D::commonName),
         u"Запускает найденную службу s.service | не отмечено: имя слишком короткое или общее"_s},
    };
    for (const auto& [found, text] : rows)
        EXPECT_EQ(matchText(found) + u" | "_s + doubtText(found), text);
    // The home is shown as a tilde only as a whole prefix.
    EXPECT_EQ(displayFolder(fs::homePath() + u"/a.txt"_s), u"~"_s);
    EXPECT_EQ(displayFolder(fs::homePath() + u"-other/x"_s), fs::homePath() + u"-other"_s);
}

} // namespace
} // namespace moss::test
