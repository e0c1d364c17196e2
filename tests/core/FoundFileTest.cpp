#include "FoundFile.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;

TEST(FileCategoryTest, RawValuesRoundTripAndResultOrder) {
    for (FileCategory category : allFileCategories())
        EXPECT_EQ(fileCategoryFromRawValue(rawValue(category)), category);

    // Categories in display order, then paths with numbers compared by value;
    // equal items keep their order.
    const auto found = [](const QString& url, FileCategory category = FileCategory::caches,
                          qint64 size = 0) {
        return FoundFile{url, category, size, false, false};
    };
    QList<FoundFile> files = {
        found(u"/L/Logs/a"_s, FileCategory::logs),
        found(u"/L/Caches/Foo 9"_s, FileCategory::caches, 1),
        found(u"/Z/zzz"_s),
        found(u"/L/Caches/Foo 10"_s),
        found(u"/L/Caches/Foo 9"_s, FileCategory::caches, 2),
    };
    sortByResultOrder(files);
    QStringList order;
    for (const FoundFile& file : files)
        order.append(file.url + u'#' + QString::number(file.size));
    EXPECT_EQ(order, (QStringList{u"/L/Caches/Foo 9#1"_s, u"/L/Caches/Foo 9#2"_s,
                                  u"/L/Caches/Foo 10#0"_s, u"/Z/zzz#0"_s, u"/L/Logs/a#0"_s}));
}
