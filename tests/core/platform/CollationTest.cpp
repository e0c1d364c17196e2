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
// C locale, as on CI, and the collators are made afresh on a new thread.
TEST(Collation, russianOrderWithNumbersByValueInTheCLocale) {
    const QByteArray lcAll = qgetenv("LC_ALL");
    const QLocale savedDefault;
    qputenv("LC_ALL", "C");
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    std::thread([] {
        QStringList list = {s(u"Foo 10"), s(u"foo 9"), s(u"Яндекс"), s(u"Foo 9"), s(u"ёж"),
                            s(u"bar"),    s(u"еда"),   s(u"Банк"),   s(u"Жук"),   s(u"Файл 12"),
                            s(u"Файл 2"), s(u"арбуз"), s(u"Foo 100")};
        std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
            return localizedStandardCompare(a, b) < 0;
        });
        // Letter case only breaks ties; Cyrillic comes before Latin.
        EXPECT_EQ(list, QStringList({s(u"арбуз"), s(u"Банк"), s(u"еда"), s(u"ёж"), s(u"Жук"),
                                     s(u"Файл 2"), s(u"Файл 12"), s(u"Яндекс"), s(u"bar"),
                                     s(u"Foo 9"), s(u"foo 9"), s(u"Foo 10"), s(u"Foo 100")}));
        EXPECT_EQ(localizedStandardCompare(s(u"Foo 9"), s(u"Foo 9")), 0);
        EXPECT_EQ(localizedCaseInsensitiveCompare(s(u"Редактор"), s(u"рЕДАКТОР")), 0);
        EXPECT_LT(localizedCaseInsensitiveCompare(s(u"apple"), s(u"Banana")), 0);
        EXPECT_GT(localizedCaseInsensitiveCompare(s(u"Яблоко"), s(u"арбуз")), 0);
    }).join();
    QLocale::setDefault(savedDefault);
    qputenv("LC_ALL", lcAll);
}

TEST(Collation, caseInsensitiveContains) {
    EXPECT_TRUE(localizedCaseInsensitiveContains(s(u"Мой Редактор"), s(u"РЕДАК")));
    EXPECT_TRUE(localizedCaseInsensitiveContains(s(u"Sketcher"), QString()));
    EXPECT_FALSE(localizedCaseInsensitiveContains(s(u"Sketcher"), s(u"Skatcher")));
}

// Each thread keeps collators of its own.
TEST(Collation, comparesFromSeveralThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> wrong = 0;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong] {
            for (int round = 0; round < 200; ++round)
                wrong += localizedStandardCompare(s(u"Foo 9"), s(u"Foo 10")) >= 0 ||
                         localizedCaseInsensitiveCompare(s(u"ёж"), s(u"ЁЖ")) != 0;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace moss
