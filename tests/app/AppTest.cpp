#include "App.h"

#include "Store.h"

#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(AppTest, UndoTitleNamesTheBundleEvenWhenTheRemovalTrashedNothing) {
    EXPECT_EQ(App::undoTitle(std::nullopt), u"Отменить удаление"_s);
    UndoEntry nothingTrashed;
    nothingTrashed.name = u"Bar Baz"_s;
    EXPECT_EQ(App::undoTitle(nothingTrashed), u"Отменить удаление «Bar Baz»"_s);
}

} // namespace
} // namespace moss
