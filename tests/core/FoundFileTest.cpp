#include "FoundFile.h"

#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

FoundFile found(const QString& url, FileCategory category = FileCategory::caches) {
    return FoundFile{url, category, 0, false, false};
}

QStringList urls(const QList<FoundFile>& files) {
    QStringList out;
    for (const FoundFile& file : files)
        out.append(file.url);
    return out;
}

} // namespace

TEST(FileCategoryTest, RawValuesAreTheTitles) {
    EXPECT_EQ(fileCategoryFromRawValue(u"Кэш"_s), FileCategory::caches);
    EXPECT_EQ(fileCategoryFromRawValue(u"caches"_s), std::nullopt);
    EXPECT_EQ(fileCategoryFromRawValue(QString()), std::nullopt);
    EXPECT_EQ(rawValue(FileCategory::bundle), u"Приложение"_s);
    EXPECT_EQ(rawValue(FileCategory::web), u"Веб-данные и cookies"_s);
    EXPECT_EQ(rawValue(FileCategory::other), u"Прочее"_s);
}

TEST(FileCategoryTest, AllCasesRoundTripInDisplayOrder) {
    const auto& all = allFileCategories();
    EXPECT_EQ(all.front(), FileCategory::bundle);
    EXPECT_EQ(all.at(4), FileCategory::caches);
    EXPECT_EQ(all.back(), FileCategory::other);
    QSet<QString> titles;
    for (FileCategory category : all) {
        EXPECT_EQ(fileCategoryFromRawValue(rawValue(category)), category);
        titles.insert(rawValue(category));
    }
    EXPECT_EQ(titles.size(), 13);
    EXPECT_EQ(qHash(FileCategory::logs, 7), qHash(rawValue(FileCategory::logs), 7));

    QStringList inOrder;
    for (FileCategory category : all)
        inOrder.append(rawValue(category));
    EXPECT_EQ(inOrder, (QStringList{
                           u"Приложение"_s,
                           u"Данные приложения"_s,
                           u"Контейнеры"_s,
                           u"Настройки"_s,
                           u"Кэш"_s,
                           u"Логи и отчёты о сбоях"_s,
                           u"Сохранённое состояние окон"_s,
                           u"Автозапуск и фоновые службы"_s,
                           u"Веб-данные и cookies"_s,
                           u"Плагины и расширения"_s,
                           u"Записи установщика"_s,
                           u"Установщики в Загрузках"_s,
                           u"Прочее"_s,
                       }));
}

TEST(FoundFileTest, EqualityCoversEveryFieldButIdIsTheUrl) {
    FoundFile a = found(u"/x/a"_s);
    FoundFile b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    b.size = 4096;
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
    b = a;
    b.selectedByDefault = true;
    EXPECT_NE(a, b);
}

TEST(ResultOrderTest, NumbersCompareByValueAndCategoriesComeFirst) {
    QList<FoundFile> files = {
        found(u"/L/Logs/a"_s, FileCategory::logs),
        found(u"/L/Caches/Foo 10"_s),
        found(u"/L/Caches/Foo 9"_s),
        found(u"/Z/zzz"_s),
        found(u"/L/Caches/foo 2"_s),
    };
    sortByResultOrder(files);
    EXPECT_EQ(urls(files), (QStringList{u"/L/Caches/foo 2"_s, u"/L/Caches/Foo 9"_s,
                                        u"/L/Caches/Foo 10"_s, u"/Z/zzz"_s, u"/L/Logs/a"_s}));
    EXPECT_TRUE(
        resultOrderLess(found(u"/z"_s, FileCategory::caches), found(u"/a"_s, FileCategory::logs)));
}

TEST(ResultOrderTest, EqualItemsKeepTheirOrder) {
    FoundFile first = found(u"/a"_s);
    FoundFile second = first;
    second.size = 1;
    QList<FoundFile> files = {first, second};
    sortByResultOrder(files);
    EXPECT_EQ(files, (QList<FoundFile>{first, second}));
}
