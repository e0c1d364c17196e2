// Desktop entries over arbitrary bytes: nothing crashes, an input is refused
// exactly when it is too large or holds a NUL, every listed group and key can
// be looked up, values go back to their bytes, and the list, escape and
// command-line readers accept whatever a value holds.
#include "DesktopEntry.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace moss;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const QByteArray data(reinterpret_cast<const char*>(bytes), qsizetype(size));
    const std::optional<DesktopEntry> entry = DesktopEntry::fromData(data);
    const bool refused = data.size() > DesktopEntry::maxFileSize || data.contains('\0');
    require(entry.has_value() != refused);
    if (!entry)
        return 0;

    for (const QString& group : entry->groups()) {
        const QByteArray name = fs::encodePath(group);
        require(entry->hasGroup(name) && data.contains(name));
        for (const QString& key : entry->keys(name)) {
            const QByteArray keyBytes = fs::encodePath(key);
            const std::optional<QString> value = entry->value(name, keyBytes);
            require(value.has_value() && !value->contains(u'\n'));
            require(data.contains(fs::encodePath(*value)));
            require(DesktopEntry::unescaped(*value).size() <= value->size());
            require(DesktopEntry::splitList(*value).isEmpty() == value->isEmpty());
            entry->boolean(name, keyBytes);
            entry->localeString(name, keyBytes);
            DesktopEntry::execArguments(DesktopEntry::unescaped(*value), {});
        }
    }
    // The command line exists only where Exec does.
    if (entry->commandLine(QStringLiteral("/e.desktop")))
        require(entry->string(DesktopEntry::mainGroup, "Exec").has_value());
    return 0;
}
