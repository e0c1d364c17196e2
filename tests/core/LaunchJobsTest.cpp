#include "LaunchJobs.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace moss;
using moss::test::Sandbox;

class LaunchJobsTest : public ::testing::Test {
protected:
    QString job(const QString& name, const QVariantMap& dict,
                plist::Format format = plist::Format::xml) {
        return sandbox.writePlist(u"LaunchAgents/"_s + name, dict, format);
    }
    bool mentions(const QString& file) const { return launchJobMentions(file, matcher, appPath); }

    Sandbox sandbox;
    const Matcher matcher{{u"com.acme.Sketcher"_s}, {u"Sketcher"_s}, std::nullopt};
    const QString appPath = u"/Applications/Sketcher.app"_s;
    const QString agent = u"/Applications/Sketcher.app/Contents/MacOS/agent"_s;
};

TEST_F(LaunchJobsTest, ExecutableInsideTheBundleInBothForms) {
    const QVariantMap dict = {{u"Label"_s, u"com.vendor.updater"_s},
                              {u"ProgramArguments"_s, QVariantList{agent, u"--run"_s}}};
    EXPECT_TRUE(mentions(job(u"com.vendor.updater.plist"_s, dict)));
    EXPECT_TRUE(mentions(job(u"b.plist"_s, dict, plist::Format::binary)));
    EXPECT_TRUE(mentions(job(u"p.plist"_s, {{u"Program"_s, agent}})));
}

TEST_F(LaunchJobsTest, OnlyTheFirstArgumentCounts) {
    const QVariantMap dict = {{u"Label"_s, u"com.vendor.updater"_s},
                              {u"Program"_s, u"/usr/bin/env"_s},
                              {u"ProgramArguments"_s, QVariantList{u"/usr/bin/env"_s, agent}}};
    EXPECT_FALSE(mentions(job(u"com.vendor.updater.plist"_s, dict)));
}

TEST_F(LaunchJobsTest, LabelsAndAssociatedBundles) {
    EXPECT_TRUE(mentions(job(u"a.plist"_s, {{u"Label"_s, u"com.acme.sketcher.agent"_s}})));
    EXPECT_FALSE(mentions(job(u"b.plist"_s, {{u"Label"_s, u"com.acme.sketcherx"_s}})));
    EXPECT_TRUE(
        mentions(job(u"c.plist"_s, {{u"AssociatedBundleIdentifiers"_s, u"com.acme.Sketcher"_s}})));
    EXPECT_TRUE(
        mentions(job(u"d.plist"_s, {{u"AssociatedBundleIdentifiers"_s,
                                     QVariantList{u"com.other"_s, u"com.acme.Sketcher"_s}}})));
}

TEST_F(LaunchJobsTest, TheMentionSaysWhichTextNamesTheBundle) {
    using Field = LaunchJobMention::Field;
    const QString label = u"com.acme.sketcher.agent"_s;
    const struct {
        QVariantMap job;
        std::optional<LaunchJobMention> expected;
    } rows[] = {
        {{{u"Label"_s, label}, {u"Program"_s, agent}}, LaunchJobMention{Field::label, label}},
        {{{u"Label"_s, u"com.vendor.x"_s}, {u"ProgramArguments"_s, QVariantList{agent}}},
         LaunchJobMention{Field::program, agent}},
        {{{u"AssociatedBundleIdentifiers"_s, QVariantList{u"com.other"_s, u"COM.ACME.SKETCHER"_s}}},
         LaunchJobMention{Field::associatedBundle, u"COM.ACME.SKETCHER"_s}},
        {{{u"Label"_s, u"com.vendor.x"_s}}, std::nullopt},
    };
    int n = 0;
    for (const auto& row : rows) {
        const QString file = job(QString::number(++n) + u".plist"_s, row.job);
        EXPECT_EQ(launchJobMention(file, matcher, appPath), row.expected) << n;
    }
}

TEST_F(LaunchJobsTest, ValuesOfTheWrongTypeAreMissing) {
    EXPECT_FALSE(mentions(job(u"a.plist"_s, {{u"Label"_s, QVariantList{u"com.acme.Sketcher"_s}},
                                             {u"Program"_s, qint64(1)},
                                             {u"ProgramArguments"_s, agent},
                                             {u"AssociatedBundleIdentifiers"_s,
                                              QVariantMap{{u"x"_s, u"com.acme.Sketcher"_s}}}})));
    EXPECT_FALSE(
        mentions(job(u"b.plist"_s, {{u"ProgramArguments"_s, QVariantList{qint64(5), agent}}})));
    // A list that holds anything but strings is not a list of strings.
    EXPECT_FALSE(
        mentions(job(u"c.plist"_s, {{u"ProgramArguments"_s, QVariantList{agent, qint64(5)}}})));
    EXPECT_FALSE(mentions(
        job(u"d.plist"_s, {{u"AssociatedBundleIdentifiers"_s,
                            QVariantList{qint64(3), u"com.other"_s, u"com.acme.Sketcher"_s}}})));
}

// Jobs written by hand, in which the texts are not spelled as the keys are:
// a quick look at the bytes must not rule them out.
TEST_F(LaunchJobsTest, TextsSpelledOtherwiseThanTheKeys) {
    const auto raw = [this](const QString& name, const QByteArray& label) {
        return sandbox.writeFile(u"LaunchAgents/"_s + name,
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<plist version=\"1.0\"><dict><key>Label</key><string>" +
                                     label + "</string></dict></plist>\n");
    };
    EXPECT_TRUE(mentions(raw(u"upper.plist"_s, "COM.ACME.SKETCHER.AGENT")));
    EXPECT_TRUE(mentions(raw(u"ref.plist"_s, "&#99;om.acme.sketcher")));
    EXPECT_TRUE(mentions(raw(u"cdata.plist"_s, "<![CDATA[com.acme.sketcher]]>")));
    // The Kelvin sign lower-cases to "k".
    EXPECT_TRUE(mentions(raw(u"kelvin.plist"_s, "com.acme.s\xE2\x84\xAA"
                                                "etcher")));
    EXPECT_TRUE(mentions(raw(u"path.plist"_s, "/APPLICATIONS/sketcher.app/Contents/MacOS/agent")));
    EXPECT_FALSE(mentions(raw(u"other.plist"_s, "com.acme.sketchers")));
    EXPECT_FALSE(mentions(raw(u"nothing.plist"_s, "org.example.tool")));
    // Named only outside the texts that count.
    EXPECT_FALSE(mentions(sandbox.writeFile(
        u"LaunchAgents/key.plist"_s,
        "<plist><dict><key>com.acme.Sketcher</key><string>x</string></dict></plist>")));
}

TEST_F(LaunchJobsTest, UnreadableMalformedAndMisnamedFiles) {
    const QVariantMap dict = {{u"Program"_s, agent}};
    const QString upper = job(u"Foo.PLIST"_s, dict);
    EXPECT_FALSE(mentions(upper)); // the extension test is case-sensitive
    EXPECT_FALSE(mentions(job(u"Foo"_s, dict)));
    EXPECT_FALSE(mentions(
        sandbox.writeFile(u"LaunchAgents/bad.plist"_s, QByteArrayLiteral("<plist><dict><key>"))));
    EXPECT_FALSE(mentions(sandbox.path(u"LaunchAgents/missing.plist"_s)));
    const QString folder = sandbox.makeDir(u"LaunchAgents/dir.plist"_s);
    EXPECT_FALSE(mentions(folder));
    const QString fifo = sandbox.path(u"LaunchAgents/fifo.plist"_s);
    ASSERT_EQ(::mkfifo(fs::encodePath(fifo).constData(), 0600), 0);
    EXPECT_FALSE(mentions(fifo));

    const QString locked = job(u"locked.plist"_s, dict);
    QFile::setPermissions(locked, {});
    if (::geteuid() != 0) {
        EXPECT_FALSE(mentions(locked));
    }
}

TEST_F(LaunchJobsTest, AnEmptyAppPathMatchesNothingByPath) {
    const QString file = job(u"a.plist"_s, {{u"Program"_s, agent}});
    EXPECT_FALSE(launchJobMentions(file, matcher, QString()));
}
