#include "platform/Collation.h"

#include "Text.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <clocale>
#include <gtest/gtest.h>
#include <thread>

namespace moss {
namespace {

using test::s;

// The order is the same whatever the process's locale (C, as on CI), on new
// threads that make their own collators: Cyrillic before Latin, numbers by
// value, letter case only breaking ties.
TEST(Collation, russianOrderWithNumbersByValueOnEveryThread) {
    const QByteArray lcAll = qgetenv("LC_ALL");
    const QLocale savedDefault;
    qputenv("LC_ALL", "C");
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    const QStringList sorted = {s(u"еда"), s(u"ёж"),    s(u"Жук"),   s(u"Файл 2"), s(u"Файл 12"),
                                s(u"bar"), s(u"Foo 9"), s(u"foo 9"), s(u"Foo 10")};
    QStringList lists[2];
    std::vector<std::thread> threads;
    for (QStringList& list : lists) {
        threads.emplace_back([&] {
            list = QStringList(sorted.crbegin(), sorted.crend());
            std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
                return localizedStandardCompare(a, b) < 0;
            });
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    QLocale::setDefault(savedDefault);
    qputenv("LC_ALL", lcAll);
    EXPECT_EQ(lists[0], sorted);
    EXPECT_EQ(lists[1], sorted);
    EXPECT_TRUE(localizedCaseInsensitiveContains(s(u"Мой Редактор"), s(u"РЕДАК")));
}

} // namespace
} // namespace moss
