#include "LaunchJobs.h"

#include "Child.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace moss;
using moss::test::Sandbox;

namespace {

const Matcher kSketcher{{u"com.acme.Sketcher"_s}, {u"Sketcher"_s}, std::nullopt};
const QString kApp = u"/Applications/Sketcher.app"_s;
const QString kAgent = u"/Applications/Sketcher.app/Contents/MacOS/agent"_s;

} // namespace

// A job mentions the bundle through its label, its program (or the first of
// its arguments) or its associated bundles, each of the right type; the
// mention names the first of them.
TEST(LaunchJobsTest, TextsThatNameTheBundleHoweverSpelled) {
    Sandbox sandbox;
    const QVariantList withAgent{kAgent, u"--run"_s};
    using enum LaunchJobMention::Field;
    struct Row {
        QVariantMap job;
        std::optional<LaunchJobMention::Field> mention;
    };
    const Row rows[] = {
        {{{u"Label"_s, u"com.vendor.updater"_s}, {u"ProgramArguments"_s, withAgent}}, program},
        {{{u"Program"_s, u"/usr/bin/env"_s},
          {u"ProgramArguments"_s, QVariantList{u"/usr/bin/env"_s, kAgent}}},
         std::nullopt},
        {{{u"Label"_s, u"com.acme.sketcher.agent"_s}, {u"Program"_s, kAgent}}, label},
        {{{u"Label"_s, QVariantList{u"com.acme.Sketcher"_s}},
          {u"Program"_s, qint64(1)},
          {u"ProgramArguments"_s, kAgent},
          {u"AssociatedBundleIdentifiers"_s, QVariantMap{{u"x"_s, u"com.acme.Sketcher"_s}}}},
         std::nullopt},
        // A list that holds anything but strings is not a list of strings.
        {{{u"ProgramArguments"_s, QVariantList{qint64(5), kAgent}}}, std::nullopt},
    };
    int n = 0;
    for (const Row& row : rows) {
        const QString file = sandbox.writePlist(u"LaunchAgents/%1.plist"_s.arg(++n), row.job);
        const std::optional<LaunchJobMention> mention = launchJobMention(file, kSketcher, kApp);
        EXPECT_EQ(mention ? std::optional(mention->field) : std::nullopt, row.mention) << n;
        EXPECT_EQ(launchJobMentions(file, kSketcher, kApp), row.mention.has_value()) << n;
    }
    const QString associated = sandbox.writePlist(
        u"LaunchAgents/a.plist"_s,
        {{u"AssociatedBundleIdentifiers"_s, QVariantList{u"com.o"_s, u"COM.ACME.SKETCHER"_s}}});
    EXPECT_EQ(launchJobMention(associated, kSketcher, kApp)->text, u"COM.ACME.SKETCHER"_s);

    // Jobs written by hand, in which the texts are not spelled as the keys
    // are: a quick look at the bytes must not rule them out. The Kelvin sign
    // lower-cases to "k".
    for (const QByteArray& label :
         {QByteArray("&#99;om.acme.sketcher"), QByteArray("com.acme.s\xE2\x84\xAA") + "etcher",
          QByteArray("/APPLICATIONS/sketcher.app/Contents/MacOS/agent")}) {
        const QString file = sandbox.writeFile(
            u"LaunchAgents/job.plist"_s,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Label"
            "</key><string>" +
                label + "</string></dict></plist>\n");
        EXPECT_TRUE(launchJobMentions(file, kSketcher, kApp)) << label.toStdString();
    }
}

TEST(LaunchJobsTest, UnreadableMalformedAndMisnamedFiles) {
    Sandbox sandbox;
    const QVariantMap job = {{u"Program"_s, kAgent}};
    const QString readable = sandbox.writePlist(u"LaunchAgents/ok.plist"_s, job);
    const QString locked = sandbox.writePlist(u"LaunchAgents/locked.plist"_s, job);
    ::chmod(fs::encodePath(locked).constData(), 0);
    for (const QString& file :
         {sandbox.writePlist(u"LaunchAgents/Foo.PLIST"_s, job), // the extension is case-sensitive
          sandbox.writeFile(u"LaunchAgents/bad.plist"_s, "<plist><dict><key>"),
          sandbox.makeFifo(u"LaunchAgents/fifo.plist"_s)})
        EXPECT_FALSE(launchJobMentions(file, kSketcher, kApp)) << file.toStdString();
    // A job that another user cannot read mentions nothing to that user.
    test::letIn(sandbox.root());
    const int status = test::runInChild(test::ChildSetup::asNobody, [&] {
        return launchJobMentions(readable, kSketcher, kApp) &&
                       !launchJobMentions(locked, kSketcher, kApp)
                   ? 0
                   : 1;
    });
    if (status < 0)
        GTEST_SKIP() << "this machine cannot drop privileges in a child";
    EXPECT_EQ(status, 0);
}
