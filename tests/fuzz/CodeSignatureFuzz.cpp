// The Mach-O team-identifier reader over arbitrary bytes: as a whole image and
// as a bare CodeDirectory. Any answer is a short, non-empty identifier without
// NUL, taken from the input's own bytes.
#include "platform/CodeSignature.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const std::optional<QString>& team, QByteArrayView data) {
    if (!team)
        return;
    const QByteArray bytes = team->toUtf8();
    if (bytes.isEmpty() || bytes.contains('\0') || bytes.size() > 1024 ||
        team->size() > data.size())
        std::abort();
    if (!team->contains(QChar::ReplacementCharacter) && !data.contains(bytes))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const QByteArrayView data(bytes, qsizetype(size));
    check(moss::codesign::teamIdentifierFromMachO(data), data);
    check(moss::codesign::teamIdentifierFromCodeDirectory(data), data);
    return 0;
}
