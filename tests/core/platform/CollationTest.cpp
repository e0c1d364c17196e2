#include "platform/Collation.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <clocale>
#include <gtest/gtest.h>
#include <thread>

namespace moss {
namespace {

QString s(const char16_t* text) {
    return QString::fromUtf16(text);
}

QStringList sortedStandard(QStringList list) {
    std::sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
        return localizedStandardCompare(a, b) < 0;
    });
    return list;
}

// Runs body on a new thread, so that the collators are made afresh there,
// while the process runs in the C locale, as on CI.
template <typename Body> void inCLocale(Body body) {
    const QByteArray lcAll = qgetenv("LC_ALL");
    const QByteArray lang = qgetenv("LANG");
    const QLocale savedDefault;
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C.UTF-8");
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    std::thread(body).join();
    QLocale::setDefault(savedDefault);
    qputenv("LC_ALL", lcAll);
    qputenv("LANG", lang);
}

TEST(Collation, digitRunsCompareByValueInTheCLocale) {
    inCLocale([] {
        EXPECT_LT(localizedStandardCompare(s(u"Foo 9"), s(u"Foo 10")), 0);
        EXPECT_GT(localizedStandardCompare(s(u"Foo 10"), s(u"Foo 9")), 0);
        EXPECT_LT(localizedStandardCompare(s(u"Файл 2.log"), s(u"Файл 12.log")), 0);
        EXPECT_EQ(sortedStandard({s(u"Foo 10"), s(u"Foo 1"), s(u"Foo 9"), s(u"Foo 100")}),
                  QStringList({s(u"Foo 1"), s(u"Foo 9"), s(u"Foo 10"), s(u"Foo 100")}));
    });
}

TEST(Collation, letterCaseOnlyBreaksTies) {
    inCLocale([] {
        // Ordinal order would put every capital before every small letter.
        EXPECT_LT(localizedStandardCompare(s(u"apple"), s(u"Banana")), 0);
        EXPECT_LT(localizedStandardCompare(s(u"арбуз"), s(u"Яблоко")), 0);
        EXPECT_NE(localizedStandardCompare(s(u"Foo 9"), s(u"foo 9")), 0);
        EXPECT_EQ(localizedStandardCompare(s(u"Foo 9"), s(u"Foo 9")), 0);
        EXPECT_EQ(sortedStandard({s(u"foo 9"), s(u"Foo 10"), s(u"Foo 9"), s(u"bar")}),
                  QStringList({s(u"bar"), s(u"Foo 9"), s(u"foo 9"), s(u"Foo 10")}));
    });
}

TEST(Collation, cyrillicAlphabeticalOrder) {
    inCLocale([] {
        EXPECT_EQ(
            sortedStandard(
                {s(u"Яндекс"), s(u"ёж"), s(u"Банк"), s(u"еда"), s(u"Жук"), s(u"аптека")}),
            QStringList({s(u"аптека"), s(u"Банк"), s(u"еда"), s(u"ёж"), s(u"Жук"), s(u"Яндекс")}));
    });
}

TEST(Collation, caseInsensitiveCompare) {
    inCLocale([] {
        EXPECT_EQ(localizedCaseInsensitiveCompare(s(u"Sketcher"), s(u"SKETCHER")), 0);
        EXPECT_EQ(localizedCaseInsensitiveCompare(s(u"Редактор"), s(u"рЕДАКТОР")), 0);
        EXPECT_LT(localizedCaseInsensitiveCompare(s(u"арбуз"), s(u"Яблоко")), 0);
        EXPECT_LT(localizedCaseInsensitiveCompare(s(u"apple"), s(u"Banana")), 0);
    });
}

TEST(Collation, caseInsensitiveContains) {
    EXPECT_TRUE(localizedCaseInsensitiveContains(s(u"Мой Редактор"), s(u"РЕДАК")));
    EXPECT_TRUE(localizedCaseInsensitiveContains(s(u"Sketcher Pro"), s(u"sketcher p")));
    EXPECT_TRUE(localizedCaseInsensitiveContains(s(u"Sketcher"), QString()));
    EXPECT_FALSE(localizedCaseInsensitiveContains(s(u"Sketcher"), s(u"Skatcher")));
}

TEST(Collation, comparesFromSeveralThreads) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&wrong, t] {
            for (int round = 0; round < 200; ++round) {
                if (localizedStandardCompare(s(u"Foo 9"), s(u"Foo 10")) >= 0)
                    ++wrong[t];
                if (localizedCaseInsensitiveCompare(s(u"ёж"), s(u"ЁЖ")) != 0)
                    ++wrong[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

} // namespace
} // namespace moss
