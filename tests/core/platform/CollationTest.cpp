#include "platform/Collation.h"

#include "Text.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <clocale>
#include <gtest/gtest.h>
#include <thread>

namespace moss {
namespace {

using test::s;

// The order is the same whatever the process's locale: the process runs in the
// C locale, as on CI, and the collators are made afresh on new threads, four
// at once, each with collators of its own.
TEST(Collation, russianOrderWithNumbersByValueOnEveryThread) {
    const QByteArray lcAll = qgetenv("LC_ALL");
    const QLocale savedDefault;
    qputenv("LC_ALL", "C");
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    const QStringList sorted = {s(u"еда"), s(u"ёж"),    s(u"Жук"),   s(u"Файл 2"), s(u"Файл 12"),
                                s(u"bar"), s(u"Foo 9"), s(u"foo 9"), s(u"Foo 10")};
    std::atomic<int> wrong = 0;
    QStringList first; // as the first thread sorted it, for the failure message
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                QStringList list = sorted;
                std::reverse(list.begin(), list.end());
                std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
                    return localizedStandardCompare(a, b) < 0;
                });
                if (t == 0 && round == 0)
                    first = list;
                // Letter case only breaks ties; Cyrillic comes before Latin.
                wrong += list != sorted ||
                         localizedCaseInsensitiveCompare(s(u"Редактор"), s(u"рЕДАКТОР")) != 0 ||
                         localizedCaseInsensitiveCompare(s(u"Яблоко"), s(u"арбуз")) <= 0;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    QLocale::setDefault(savedDefault);
    qputenv("LC_ALL", lcAll);
    EXPECT_EQ(first, sorted);
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(localizedCaseInsensitiveContains(s(u"Мой Редактор"), s(u"РЕДАК")));
    EXPECT_FALSE(localizedCaseInsensitiveContains(s(u"Sketcher"), s(u"Skatcher")));
}

} // namespace
} // namespace moss
