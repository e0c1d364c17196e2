// The soft shadows drawn under raised panels.

#include "ShadowImageProvider.h"

#include <gtest/gtest.h>

namespace moss::test {
namespace {

TEST(ShadowImageProvider, NinePatchIsSymmetricAndFadesOutwards) {
    const QImage shadow = ui::ShadowImageProvider::render(18, 10, QColor(0, 0, 0, 153));
    ASSERT_EQ(shadow.size(), QSize(2 * (18 + 20) + 1, 2 * (18 + 20) + 1));
    const int centre = shadow.width() / 2;
    EXPECT_NEAR(qAlpha(shadow.pixel(centre, centre)), 153, 2);
    EXPECT_EQ(qAlpha(shadow.pixel(0, 0)), 0);
    EXPECT_LT(qAlpha(shadow.pixel(3, centre)), qAlpha(shadow.pixel(30, centre)));
    EXPECT_EQ(shadow.pixel(5, centre), shadow.pixel(shadow.width() - 6, centre));
}

TEST(ShadowImageProvider, MalformedDescriptionsGiveNoImage) {
    ui::ShadowImageProvider provider;
    QSize size;
    for (const char* id :
         {"", "18/10", "x/10/ff000000", "18/-1/ff000000", "18/10/zz", "9999/10/ff000000"})
        EXPECT_TRUE(provider.requestImage(QString::fromLatin1(id), &size, {}).isNull()) << id;
    EXPECT_FALSE(provider.requestImage(QStringLiteral("4/2/ff000000"), &size, {}).isNull());
    EXPECT_EQ(size, QSize(2 * (4 + 4) + 1, 2 * (4 + 4) + 1));
}

} // namespace
} // namespace moss::test
