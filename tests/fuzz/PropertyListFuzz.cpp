// The property-list reading behind bundle loading and the launch-job search:
// arbitrary bytes as a dictionary, as a bundle's Info.plist and as a launch
// agent. Nothing crashes; a dictionary read survives writing and reading back.
#include "AppBundle.h"
#include "LaunchJobs.h"
#include "Matcher.h"
#include "platform/FileSystem.h"
#include "platform/PropertyList.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

struct Files {
    QTemporaryDir dir;
    QString bundle = dir.path() + u"/Fuzz.app"_s;
    QString info = bundle + u"/Contents/Info.plist"_s;
    QString agent = dir.path() + u"/com.fuzz.agent.plist"_s;
    Files() { fs::makePath(bundle + u"/Contents"_s); }
};

void write(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static Files files;
    static const Matcher matcher({u"com.fuzz.agent"_s}, {u"Fuzzer"_s}, u"TEAM012345"_s);

    const QByteArray data(reinterpret_cast<const char*>(bytes), qsizetype(size));
    if (const std::optional<QVariantMap> dict = plist::dictionaryFromData(data)) {
        for (const plist::Format format : {plist::Format::xml, plist::Format::binary}) {
            const QByteArray back = plist::dataFromDictionary(*dict, format);
            if (!back.isEmpty() && !plist::dictionaryFromData(back))
                std::abort();
        }
    }

    write(files.info, data);
    if (const std::optional<AppBundle> bundle = AppBundle::load(files.bundle, false)) {
        if (bundle->url.isEmpty())
            std::abort();
        Matcher{*bundle}.strength(u"com.fuzz.agent"_s, true);
    }
    write(files.agent, data);
    launchJobMentions(files.agent, matcher, files.bundle);
    return 0;
}
