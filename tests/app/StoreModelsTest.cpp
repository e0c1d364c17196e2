// The installed list as shown and a session's files grouped for the sheet.

#include "ReasonText.h"
#include "StoreSandbox.h"

namespace moss::test {
namespace {

using StoreModelsTest = StoreSandbox;

AppBundle listed(const QString& name, const std::optional<QString>& identifier) {
    AppBundle bundle;
    bundle.url = u"/Apps/"_s + name + u".app"_s;
    bundle.displayName = name;
    bundle.bundleIdentifier = identifier;
    return bundle;
}

TEST_F(StoreModelsTest, GroupedFilesFollowTheDisplayOrderAndTheTicks) {
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

TEST_F(StoreModelsTest, HomeFolderIsShownAsTildeOnlyAsAWholePrefix) {
    const QString home = fs::homePath();
    EXPECT_EQ(displayFolder(home + u"/a.txt"_s), u"~"_s);
    EXPECT_EQ(displayFolder(home + u"/Library/x"_s), u"~/Library"_s);
    EXPECT_EQ(displayFolder(home + u"-other/x"_s), home + u"-other"_s);
    EXPECT_EQ(displayFolder(u"/Library/Caches/x"_s), u"/Library/Caches"_s);
}

TEST(StoreModels, ReasonsInTheSheetsWords) {
    using Match = FoundReason::Match;
    using Doubt = FoundReason::Doubt;
    const struct {
        FoundReason reason;
        QString match;
        QString doubt;
    } rows[] = {
        {{}, u"Само приложение"_s, {}},
        {{Match::identifier, u"com.acme.Sketcher"_s, Doubt::none, {}},
         u"Совпадает с идентификатором com.acme.Sketcher"_s,
         {}},
        {{Match::name, u"Sketcher"_s, Doubt::foreignWord, {}},
         u"Совпадает с именем «Sketcher»"_s,
         u"не отмечено: после имени идёт чужое слово"_s},
        {{Match::name, u"Sketcher"_s, Doubt::otherClaim, u"Other App"_s},
         u"Совпадает с именем «Sketcher»"_s,
         u"не отмечено: больше похоже на «Other App»"_s},
        {{Match::team, u"ABCDE12345"_s, Doubt::partialName, {}},
         u"Группа разработчика ABCDE12345"_s,
         u"не отмечено: имя — лишь часть названия"_s},
        {{Match::launchProgram,
          u"/Applications/Sketcher.app/Contents/MacOS/agent"_s,
          Doubt::none,
          {}},
         u"Служба запускает программу из приложения"_s,
         {}},
        {{Match::launchLabel, u"com.acme.sketcher.agent"_s, Doubt::none, {}},
         u"Служба названа по приложению: com.acme.sketcher.agent"_s,
         {}},
        {{Match::launchBundle, u"com.acme.Sketcher"_s, Doubt::none, {}},
         u"Служба относится к приложению com.acme.Sketcher"_s,
         {}},
        {{Match::installer, u"Sketcher"_s, Doubt::installer, {}},
         u"Установщик «Sketcher»"_s,
         u"установщики не отмечаются"_s},
        {{Match::unitTrigger, u"sync.service"_s, Doubt::commonName, {}},
         u"Запускает найденную службу sync.service"_s,
         u"не отмечено: имя слишком короткое или общее"_s},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(matchText(row.reason), row.match);
        EXPECT_EQ(doubtText(row.reason), row.doubt);
    }
}

TEST(StoreModels, BlankQueriesSystemSectionsAndCaseInsensitiveMatches) {
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

} // namespace
} // namespace moss::test
