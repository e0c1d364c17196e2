#include "LibraryLocations.h"

#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss;
using moss::test::Sandbox;

// The temporary folders: TMPDIR with its links resolved, and the cache folder,
// whose variable counts only when it holds an absolute path.
TEST(LibraryLocationsTest, TemporaryFoldersAndParentsBeforeNestedLocations) {
    Sandbox sandbox;
    sandbox.activate();
    qputenv("TMPDIR", fs::encodePath(sandbox.symlink(sandbox.path(u"tmp"_s), u"tmplink"_s)));
    const std::pair<const char*, QString> caches[] = {
        {"relative/cache", sandbox.home() + u"/.cache"_s},
        {"/x/../cache/", u"/cache"_s},
    };
    for (const auto& [variable, cache] : caches) {
        qputenv("XDG_CACHE_HOME", variable);
        const SearchRoots roots = SearchRoots::live();
        EXPECT_EQ(roots.userTemp, (QStringList{sandbox.path(u"tmp"_s), cache})) << variable;
    }
    // A location is listed before the locations nested in it.
    const QList<Location>& rows = libraryLocations();
    for (int nested = 0; nested < rows.size(); ++nested) {
        for (int parent = nested + 1; parent < rows.size(); ++parent)
            EXPECT_FALSE(rows.at(nested).path.startsWith(rows.at(parent).path + u'/'))
                << rows.at(nested).path.toStdString();
    }
}
