#include "App.h"

#include "RozudOdizuv.h"
#include "Sandbox.h"
#include "Store.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(AppTest, UndoCommandNamesTheLastRemovalEvenWhenItTrashedNothing) {
    test::Sandbox sandbox;
    sandbox.activate();
    setApplicationIdentity();
    QSettings().clear();
    Store store;
    RozudOdizuv watcher{store};
    const App app(store, watcher);
    EXPECT_EQ(app.undoTitle(), u"Отменить удаление"_s);
    EXPECT_FALSE(app.canUndo());
    UndoEntry nothingTrashed;
    nothingTrashed.name = u"Bar Baz"_s;
    EXPECT_EQ(App::undoTitle(nothingTrashed), u"Отменить удаление «Bar Baz»"_s);
    QSettings().clear();
}

} // namespace
} // namespace moss
