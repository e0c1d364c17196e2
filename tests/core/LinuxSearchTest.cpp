// The leftover search of a Linux application: each row's rule, the judge
// against the other applications, the paths never offered, whole names, and
// the item that stands for the application by source.

#include "LinuxSearch.h"

#include "LinuxApps.h"
#include "Printers.h"
#include "Sandbox.h"
#include "Scanner.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

namespace moss {
namespace {

using namespace Qt::StringLiterals;
using test::Sandbox;

class LinuxSearchTest : public ::testing::Test {
protected:
    QString entry(const QString& relative, const QByteArray& keys) const {
        return sandbox.writeFile(u"home/"_s + relative,
                                 "[Desktop Entry]\nType=Application\n" + keys + "\n");
    }

    QList<FoundFile> search(const QString& path) const {
        Scanner scanner(SearchRoots{roots.home, {}, {}}, roots);
        scanner.measureSizes = false;
        return scanner.relatedFiles(LinuxApps::load(path, roots).value(),
                                    LinuxApps::installed(roots), true);
    }

    Sandbox sandbox;
    const LinuxRoots roots = sandbox.linuxRoots();
};

// Where an entry ended up: not found, or found with a category and a tick.
struct Outcome {
    QString path; // below the home
    std::optional<FileCategory> category;
    bool ticked = false;
};

QList<FoundFile>::const_iterator find(const QList<FoundFile>& found, const QString& path) {
    return std::find_if(found.cbegin(), found.cend(),
                        [&](const FoundFile& file) { return file.url == path; });
}

void expectOutcomes(const QList<FoundFile>& found, const QString& home,
                    const QList<Outcome>& outcomes) {
    for (const Outcome& o : outcomes) {
        const auto item = find(found, home + u'/' + o.path);
        const bool offered = item != found.cend();
        EXPECT_EQ(offered ? std::optional(item->category) : std::nullopt, o.category)
            << o.path.toStdString();
        EXPECT_EQ(offered && item->selectedByDefault, o.ticked) << o.path.toStdString();
    }
}

TEST_F(LinuxSearchTest, eachRowByItsRuleAgainstTheOtherApplications) {
    const QString pad = entry(u".local/share/applications/org.acme.Pad.desktop"_s,
                              "Name=Acme Pad\nExec=acmepad %F\nIcon=org.acme.Pad");
    entry(u".local/share/applications/acmepad-sync.desktop"_s,
          "Name=AcmePad Sync\nExec=acmepad-sync");
    entry(u".local/share/applications/org.acme.Pad.Viewer.desktop"_s,
          "Name=Pad Viewer\nExec=padview\nNoDisplay=true");
    for (const char* folder :
         {".config/acmepad", ".local/share/org.acme.Pad.Viewer", ".config/acmepad-sync"})
        sandbox.makeDir(u"home/"_s + QString::fromLatin1(folder));
    sandbox.writeFile(u"home/Downloads/acmepad_1.0_amd64.deb"_s);
    const QString units = u"home/.config/systemd/user/"_s;
    sandbox.writeFile(units + u"pad.service"_s, "[Service]\nExecStart=/usr/bin/acmepad -d\n");
    sandbox.writeFile(units + u"pad.timer"_s, "[Timer]\nOnCalendar=daily\n");

    const QList<FoundFile> found = search(pad);
    using C = FileCategory;
    expectOutcomes(found, roots.home,
                   {{u".config/acmepad"_s, C::preferences, true},
                    // A competitor's longer identifier, even of a hidden entry.
                    {u".local/share/org.acme.Pad.Viewer"_s, {}},
                    // Weakly by name here, strongly by another's name: theirs.
                    {u".config/acmepad-sync"_s, {}},
                    {u".config/systemd/user/pad.timer"_s, C::launch, true},
                    // Another application's own entry is never a leftover.
                    {u".local/share/applications/acmepad-sync.desktop"_s, {}},
                    {u"Downloads/acmepad_1.0_amd64.deb"_s, C::installers, false}});
    const auto timer = find(found, roots.configHome + u"/systemd/user/pad.timer"_s);
    ASSERT_NE(timer, found.cend());
    EXPECT_EQ(timer->reason.match, FoundReason::Match::unitTrigger);
    EXPECT_EQ(timer->reason.key, u"pad.service"_s);
}

// A common name claims only the whole name, never ticked, and says why.
TEST_F(LinuxSearchTest, aCommonNameClaimsOnlyTheWholeName) {
    const QString fonts =
        entry(u".local/share/applications/org.gnome.font-viewer.desktop"_s, "Name=Fonts\nExec=ssh");
    sandbox.makeDir(u"home/.config/ssh"_s);
    const QList<FoundFile> found = search(fonts);
    expectOutcomes(found, roots.home, {{u".config/ssh"_s, FileCategory::preferences, false}});
    const auto config = find(found, roots.configHome + u"/ssh"_s);
    ASSERT_NE(config, found.cend());
    EXPECT_EQ(config->reason.doubt, FoundReason::Doubt::commonName);
}

} // namespace
} // namespace moss
