#include "platform/ToolRun.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace moss;
using Outcome = tools::ToolRun::Outcome;

// A tool is found on the search path, gets its arguments as they are (no
// shell), and ends as it exits: its output kept, a hang stopped at the limit.
TEST(ToolRunTest, OutcomesAndArguments) {
    test::Sandbox sandbox;
    const QString bin = sandbox.makeDir(u"bin"_s);
    sandbox.writeExecutable(u"bin/fake"_s, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n"
                                           "echo \"$FAKE_SAYS\" >&2\nexit \"$FAKE_EXIT\"\n");
    sandbox.writeExecutable(u"bin/hangs"_s, "#!/bin/sh\necho waiting\nexec sleep 30\n");
    const QStringList odd = {u"a b"_s, u"$(touch x); rm -rf ~"_s, u"line\nbreak"_s, u""_s};
    struct Row {
        QString program;
        QByteArray exit, says;
        Outcome outcome;
        int exitCode;
        QString output, described;
    };
    const Row rows[] = {
        {u"fake"_s, "0", "", Outcome::succeeded, 0, {}, u"fake отработал успешно"_s},
        {u"fake"_s, "1", "error: access denied", Outcome::failed, 1, u"error: access denied"_s,
         u"fake завершился с кодом 1: error: access denied"_s},
        {u"hangs"_s, "0", "", Outcome::timedOut, -1, u"waiting"_s,
         u"hangs не ответил вовремя и был остановлен: waiting"_s},
        {u"absent"_s, "0", "", Outcome::missing, -1, {}, u"absent не найден в системе"_s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.program.toStdString() + row.exit.toStdString());
        qputenv("FAKE_EXIT", row.exit);
        qputenv("FAKE_SAYS", row.says);
        const tools::ToolRun run = tools::run(row.program, odd, 500ms, {bin});
        EXPECT_EQ(run.outcome, row.outcome);
        EXPECT_EQ(run.ok(), row.outcome == Outcome::succeeded);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.output, row.output);
        EXPECT_EQ(tools::describe(row.program, run), row.described);
    }
    EXPECT_EQ(fs::readFile(bin + u"/fake.args"_s), odd.join(u'|').toUtf8() + '|');
    EXPECT_FALSE(fs::exists(u"x"_s));
}
