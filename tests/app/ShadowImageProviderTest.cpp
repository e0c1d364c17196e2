// The soft shadows drawn under raised panels.

#include "ShadowImageProvider.h"

#include <gtest/gtest.h>

namespace moss::test {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(ShadowImageProvider, MalformedDescriptionsGiveNoImage) {
    ui::ShadowImageProvider provider;
    QSize size;
    for (const char* id :
         {"", "18/10", "x/10/ff000000", "18/-1/ff000000", "18/10/zz", "9999/10/ff000000"})
        EXPECT_TRUE(provider.requestImage(QString::fromLatin1(id), &size, {}).isNull()) << id;
    EXPECT_FALSE(provider.requestImage(u"4/2/ff000000"_s, &size, {}).isNull());
}

} // namespace
} // namespace moss::test
