// Trash descriptions over arbitrary bytes: a .trashinfo file gives an absolute
// former path or none, and the Path= encoding round-trips every path.
#include "platform/FileSystem.h"
#include "platform/Trash.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace moss;

namespace {

struct Trash {
    QTemporaryDir dir;
    QString trashed = dir.path() + u"/.Trash-1000/files/item"_s;
    bool made = fs::makePath(dir.path() + u"/.Trash-1000/info"_s) && fs::makePath(trashed);
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static Trash trash;
    const QByteArray data(reinterpret_cast<const char*>(bytes), qsizetype(size));

    QFile info(trash::infoPath(trash.trashed));
    if (!info.open(QIODevice::WriteOnly | QIODevice::Truncate) || info.write(data) != data.size())
        std::abort();
    info.close();
    if (!trash::originalPath(trash.trashed).value_or(u"/"_s).startsWith(u'/'))
        std::abort();

    const QString decoded = trash::decodeInfoPath(data);
    if (trash::decodeInfoPath(trash::encodeInfoPath(decoded)) != decoded)
        std::abort();
    // Any bytes without a NUL are a path; its encoding brings back the bytes.
    if (!data.contains('\0')) {
        const QString path = fs::decodePath(data);
        if (fs::encodePath(path) != data ||
            trash::decodeInfoPath(trash::encodeInfoPath(path)) != path)
            std::abort();
    }
    return 0;
}
