// The soft shadows drawn under raised panels.

#include "ShadowImageProvider.h"

#include <gtest/gtest.h>

namespace moss::test {
namespace {

TEST(ShadowImageProvider, MalformedDescriptionsGiveNoImage) {
    ui::ShadowImageProvider provider;
    QSize size;
    for (const char* id :
         {"", "18/10", "x/10/ff000000", "18/-1/ff000000", "18/10/zz", "9999/10/ff000000"})
        EXPECT_TRUE(provider.requestImage(QString::fromLatin1(id), &size, {}).isNull()) << id;
    EXPECT_FALSE(provider.requestImage(QStringLiteral("4/2/ff000000"), &size, {}).isNull());
}

} // namespace
} // namespace moss::test
