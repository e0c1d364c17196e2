#pragma once

// Builds small Mach-O executables for tests, fuzz seeds and the demo home: a
// thin (32- or 64-bit) or universal (fat 32 or fat 64) image whose embedded
// code signature carries a chosen team identifier.
//
// Only the structures that a signature reader walks are written: the header,
// an LC_UUID and an LC_CODE_SIGNATURE load command, a few filler bytes of
// "code", and a SuperBlob with an empty requirements blob and one or two
// CodeDirectories. Nothing is hashed, so no real loader or verifier accepts
// the result. Header-only, QtCore only.
//
//     using namespace moss::tools;
//     MachOSlice arm;                         // arm64, signed by team "TEAM012345"
//     MachOSlice intel{.cpuType = kCpuTypeX86_64};
//     QByteArray fat = universalMachO({intel, arm});

#include <QByteArray>
#include <QList>
#include <QtEndian>
#include <optional>
#include <utility>

namespace moss::tools {

constexpr quint32 kCpuTypeI386 = 0x00000007;
constexpr quint32 kCpuTypeX86_64 = 0x01000007;
constexpr quint32 kCpuTypeArm64 = 0x0100000c;

// The first CodeDirectory version with a team identifier field.
constexpr quint32 kCodeDirectoryTeamVersion = 0x20200;

struct CodeDirectoryOptions {
    QByteArray identifier = "com.example.app";
    // Empty: the team offset is 0 (no team).
    QByteArray teamIdentifier = "TEAM012345";
    // Below kCodeDirectoryTeamVersion the header has no team offset at all.
    quint32 version = 0x20400;
};

struct MachOSlice {
    quint32 cpuType = kCpuTypeArm64;
    bool is64Bit = true;
    // false: no LC_CODE_SIGNATURE (an unsigned executable).
    bool sign = true;
    // The primary CodeDirectory, in slot 0.
    CodeDirectoryOptions codeDirectory;
    // A second CodeDirectory in the first alternate slot (0x1000).
    std::optional<CodeDirectoryOptions> alternate;
};

namespace machodetail {

inline void putBig32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

inline void putBig64(QByteArray& out, quint64 value) {
    char bytes[8];
    qToBigEndian(value, bytes);
    out.append(bytes, 8);
}

inline void putLittle32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

inline void padTo(QByteArray& out, qsizetype alignment, char fill = '\0') {
    while (out.size() % alignment != 0)
        out.append(fill);
}

} // namespace machodetail

// A CodeDirectory blob (big-endian, magic 0xfade0c02) without hash slots: the
// header for its version, then the identifier and the team identifier, each
// NUL-terminated. This is also the content of Contents/_CodeSignature/CodeDirectory.
inline QByteArray codeDirectory(const CodeDirectoryOptions& options) {
    using namespace machodetail;
    const bool hasScatter = options.version >= 0x20100;
    const bool hasTeam = options.version >= kCodeDirectoryTeamVersion;
    const quint32 headerSize = 44 + (hasScatter ? 4 : 0) + (hasTeam ? 4 : 0);
    const quint32 identOffset = headerSize;
    const quint32 teamOffset = identOffset + quint32(options.identifier.size()) + 1;
    const bool writeTeam = hasTeam && !options.teamIdentifier.isEmpty();
    const quint32 length =
        teamOffset + (writeTeam ? quint32(options.teamIdentifier.size()) + 1 : 0);

    QByteArray out;
    putBig32(out, 0xfade0c02);
    putBig32(out, length);
    putBig32(out, options.version);
    putBig32(out, 0);      // flags
    putBig32(out, length); // hashOffset: no hashes follow
    putBig32(out, identOffset);
    putBig32(out, 0);     // nSpecialSlots
    putBig32(out, 0);     // nCodeSlots
    putBig32(out, 0);     // codeLimit
    out.append(char(32)); // hashSize
    out.append(char(2));  // hashType: SHA-256
    out.append(char(0));  // platform
    out.append(char(12)); // pageSize: 4096 bytes
    putBig32(out, 0);     // spare2
    if (hasScatter)
        putBig32(out, 0); // scatterOffset
    if (hasTeam)
        putBig32(out, writeTeam ? teamOffset : 0);
    out.append(options.identifier).append('\0');
    if (writeTeam)
        out.append(options.teamIdentifier).append('\0');
    return out;
}

// A SuperBlob (magic 0xfade0cc0) holding the given blobs under their slot types.
inline QByteArray superBlob(const QList<std::pair<quint32, QByteArray>>& blobs) {
    using namespace machodetail;
    quint32 offset = 12 + 8 * quint32(blobs.size());
    QByteArray index;
    QByteArray payload;
    for (const auto& [slot, blob] : blobs) {
        putBig32(index, slot);
        putBig32(index, offset);
        payload.append(blob);
        offset += quint32(blob.size());
    }
    QByteArray out;
    putBig32(out, 0xfade0cc0);
    putBig32(out, offset);
    putBig32(out, quint32(blobs.size()));
    return out + index + payload;
}

// The embedded signature of one slice: requirements, CodeDirectory, and the
// alternate CodeDirectory when asked for.
inline QByteArray embeddedSignature(const MachOSlice& slice) {
    QByteArray requirements;
    machodetail::putBig32(requirements, 0xfade0c01);
    machodetail::putBig32(requirements, 12);
    machodetail::putBig32(requirements, 0);
    QList<std::pair<quint32, QByteArray>> blobs{{2, requirements},
                                                {0, codeDirectory(slice.codeDirectory)}};
    if (slice.alternate)
        blobs.append({0x1000, codeDirectory(*slice.alternate)});
    return superBlob(blobs);
}

// A thin Mach-O executable (little-endian).
inline QByteArray thinMachO(const MachOSlice& slice) {
    using namespace machodetail;
    const quint32 headerSize = slice.is64Bit ? 32 : 28;
    const quint32 uuidSize = 24;
    const quint32 signatureCommandSize = slice.sign ? 16 : 0;
    const quint32 commandBytes = uuidSize + signatureCommandSize;
    const QByteArray signature = slice.sign ? embeddedSignature(slice) : QByteArray();
    // Header, load commands, 64 bytes of "code", then the signature at a
    // 16-byte boundary, as the linker places it.
    const quint32 signatureOffset = (headerSize + commandBytes + 64 + 15) & ~15u;

    QByteArray out;
    putLittle32(out, slice.is64Bit ? 0xfeedfacf : 0xfeedface);
    putLittle32(out, slice.cpuType);
    putLittle32(out, 0); // cpusubtype
    putLittle32(out, 2); // MH_EXECUTE
    putLittle32(out, slice.sign ? 2 : 1);
    putLittle32(out, commandBytes);
    putLittle32(out, 0); // flags
    if (slice.is64Bit)
        putLittle32(out, 0); // reserved
    putLittle32(out, 0x1b);  // LC_UUID
    putLittle32(out, uuidSize);
    out.append(QByteArray(16, '\x5a'));
    if (slice.sign) {
        putLittle32(out, 0x1d); // LC_CODE_SIGNATURE
        putLittle32(out, 16);
        putLittle32(out, signatureOffset);
        putLittle32(out, quint32(signature.size()));
    }
    out.append(QByteArray(64, '\x90'));
    padTo(out, 16);
    return out + signature;
}

// A universal executable: a big-endian fat header (fat 64 when asked), then
// each slice at a 4096-byte boundary.
inline QByteArray universalMachO(const QList<MachOSlice>& slices, bool fat64 = false) {
    using namespace machodetail;
    constexpr quint32 alignmentPower = 12;
    QByteArray header;
    putBig32(header, fat64 ? 0xcafebabf : 0xcafebabe);
    putBig32(header, quint32(slices.size()));
    QByteArray body;
    const qsizetype tableEnd = 8 + slices.size() * (fat64 ? 32 : 20);
    qsizetype offset = tableEnd;
    for (const MachOSlice& slice : slices) {
        const QByteArray image = thinMachO(slice);
        offset = (offset + (1 << alignmentPower) - 1) & ~qsizetype((1 << alignmentPower) - 1);
        body.append(QByteArray(offset - tableEnd - body.size(), '\0'));
        body.append(image);
        putBig32(header, slice.cpuType);
        putBig32(header, 0); // cpusubtype
        if (fat64) {
            putBig64(header, quint64(offset));
            putBig64(header, quint64(image.size()));
        } else {
            putBig32(header, quint32(offset));
            putBig32(header, quint32(image.size()));
        }
        putBig32(header, alignmentPower);
        if (fat64)
            putBig32(header, 0); // reserved
        offset += image.size();
    }
    return header + body;
}

} // namespace moss::tools
