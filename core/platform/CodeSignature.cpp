#include "platform/CodeSignature.h"

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QList>
#include <QtEndian>
#include <algorithm>
#include <functional>
#include <limits>

namespace moss::codesign {

namespace {

// Mach-O headers are read in the file's own (little-endian) byte order, fat
// headers and signature blobs are big-endian.
constexpr quint32 kMachMagic32 = 0xfeedface;
constexpr quint32 kMachMagic64 = 0xfeedfacf;
constexpr quint32 kFatMagic32 = 0xcafebabe;
constexpr quint32 kFatMagic64 = 0xcafebabf;
constexpr quint32 kCpuTypeArm64 = 0x0100000c;
constexpr quint32 kLoadCodeSignature = 0x1d;
constexpr quint32 kSuperBlobMagic = 0xfade0cc0;
constexpr quint32 kCodeDirectoryMagic = 0xfade0c02;
constexpr quint32 kCodeDirectorySlot = 0;
constexpr quint32 kFirstAlternateSlot = 0x1000;
constexpr quint32 kAlternateSlotEnd = 0x1005;
// The CodeDirectory version that introduced the team identifier, and where
// its offset sits in the header.
constexpr quint32 kTeamVersion = 0x20200;
constexpr quint64 kTeamOffsetField = 48;
constexpr quint64 kTeamHeaderSize = 52;

// Limits no real file comes near; a claim beyond them is hostile.
constexpr quint32 kMaxSlices = 64;
constexpr quint64 kMaxLoadCommandBytes = 16 * 1024 * 1024;
constexpr quint32 kMaxBlobs = 4096;
constexpr quint64 kMaxTeamLength = 1024;
constexpr qint64 kMaxCodeDirectoryFile = 16 * 1024 * 1024;

constexpr quint64 kUnbounded = std::numeric_limits<quint64>::max();

// Exactly `length` bytes of the input at `offset`, or nothing.
using ReadAt = std::function<std::optional<QByteArray>(quint64 offset, quint64 length)>;

// True when [offset, offset + length) lies within [0, limit), without overflow.
bool fits(quint64 offset, quint64 length, quint64 limit) {
    return offset <= limit && length <= limit - offset;
}

quint32 bigEndian32(const QByteArray& bytes, quint64 at) {
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

quint64 bigEndian64(const QByteArray& bytes, quint64 at) {
    return qFromBigEndian<quint64>(bytes.constData() + at);
}

quint32 littleEndian32(const QByteArray& bytes, quint64 at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

ReadAt bufferReader(QByteArrayView data) {
    return [data](quint64 offset, quint64 length) -> std::optional<QByteArray> {
        if (!fits(offset, length, quint64(data.size())))
            return std::nullopt;
        return data.sliced(qsizetype(offset), qsizetype(length)).toByteArray();
    };
}

ReadAt fileReader(const QString& path) {
    return
        [path](quint64 offset, quint64 length) { return fs::readFileRange(path, offset, length); };
}

// A CodeDirectory at `start` with `available` bytes before its container ends.
std::optional<QString> teamFromCodeDirectory(const ReadAt& read, quint64 start, quint64 available) {
    if (available < kTeamHeaderSize)
        return std::nullopt;
    const std::optional<QByteArray> header = read(start, kTeamHeaderSize);
    if (!header)
        return std::nullopt;
    const quint32 length = bigEndian32(*header, 4);
    if (bigEndian32(*header, 0) != kCodeDirectoryMagic || bigEndian32(*header, 8) < kTeamVersion ||
        length < kTeamHeaderSize || length > available)
        return std::nullopt;
    const quint32 teamOffset = bigEndian32(*header, kTeamOffsetField);
    if (teamOffset < kTeamHeaderSize || teamOffset >= length)
        return std::nullopt;
    const quint64 span = std::min<quint64>(length - teamOffset, kMaxTeamLength + 1);
    const std::optional<QByteArray> text = read(start + teamOffset, span);
    const qsizetype end = text ? text->indexOf('\0') : -1;
    if (end <= 0)
        return std::nullopt; // no terminator within the blob, or an empty name
    return QString::fromUtf8(text->left(end));
}

bool isAlternateSlot(quint32 type) {
    return type >= kFirstAlternateSlot && type < kAlternateSlotEnd;
}

// Offsets of the CodeDirectories listed in a SuperBlob index: the primary
// slot first, then the alternate slots in index order.
QList<quint32> codeDirectoryOffsets(const QByteArray& index) {
    QList<quint32> primary;
    QList<quint32> alternates;
    for (qsizetype at = 0; at + 8 <= index.size(); at += 8) {
        const quint32 type = bigEndian32(index, quint64(at));
        const quint32 offset = bigEndian32(index, quint64(at) + 4);
        if (type == kCodeDirectorySlot)
            primary.append(offset);
        else if (isAlternateSlot(type))
            alternates.append(offset);
    }
    return primary + alternates;
}

// The embedded signature: a SuperBlob at `start`, `size` bytes long at most.
std::optional<QString> teamFromSuperBlob(const ReadAt& read, quint64 start, quint64 size) {
    if (size < 12)
        return std::nullopt;
    const std::optional<QByteArray> header = read(start, 12);
    if (!header)
        return std::nullopt;
    const quint32 length = bigEndian32(*header, 4);
    const quint32 count = bigEndian32(*header, 8);
    if (bigEndian32(*header, 0) != kSuperBlobMagic || length < 12 || length > size ||
        count > kMaxBlobs || count > (length - 12) / 8)
        return std::nullopt;
    const std::optional<QByteArray> index = read(start + 12, quint64(count) * 8);
    if (!index)
        return std::nullopt;
    for (const quint32 offset : codeDirectoryOffsets(*index)) {
        if (offset >= length)
            continue;
        if (auto team = teamFromCodeDirectory(read, start + offset, length - offset))
            return team;
    }
    return std::nullopt;
}

struct Region {
    quint64 offset = 0;
    quint64 size = 0;
};

// Where LC_CODE_SIGNATURE points, relative to the image; nothing when the
// load commands do not hold one or do not add up.
std::optional<Region> codeSignatureRegion(const QByteArray& commands, quint32 count) {
    const quint64 total = quint64(commands.size());
    quint64 at = 0;
    for (quint32 i = 0; i < count && total - at >= 8; ++i) {
        const quint32 size = littleEndian32(commands, at + 4);
        if (size < 8 || size > total - at)
            return std::nullopt;
        if (littleEndian32(commands, at) == kLoadCodeSignature) {
            if (size < 16)
                return std::nullopt;
            return Region{littleEndian32(commands, at + 8), littleEndian32(commands, at + 12)};
        }
        at += size;
    }
    return std::nullopt;
}

// A thin Mach-O image at `start`, at most `size` bytes long.
std::optional<QString> teamFromThinImage(const ReadAt& read, quint64 start, quint64 size) {
    if (size < 28)
        return std::nullopt;
    const std::optional<QByteArray> header = read(start, 28);
    if (!header)
        return std::nullopt;
    const quint32 magic = littleEndian32(*header, 0);
    if (magic != kMachMagic32 && magic != kMachMagic64)
        return std::nullopt;
    const quint64 headerSize = magic == kMachMagic64 ? 32 : 28;
    const quint32 commandCount = littleEndian32(*header, 16);
    const quint32 commandBytes = littleEndian32(*header, 20);
    if (commandBytes > kMaxLoadCommandBytes || !fits(headerSize, commandBytes, size))
        return std::nullopt;
    const std::optional<QByteArray> commands = read(start + headerSize, commandBytes);
    if (!commands)
        return std::nullopt;
    const std::optional<Region> signature = codeSignatureRegion(*commands, commandCount);
    if (!signature || !fits(signature->offset, signature->size, size))
        return std::nullopt;
    return teamFromSuperBlob(read, start + signature->offset, signature->size);
}

struct Slice {
    quint32 cpuType = 0;
    Region region;
};

// The slices listed in a fat header, arm64 first, otherwise in table order.
std::optional<QList<Slice>> fatSlices(const ReadAt& read, quint32 magic) {
    const std::optional<QByteArray> header = read(0, 8);
    if (!header)
        return std::nullopt;
    const quint32 count = bigEndian32(*header, 4);
    const bool wide = magic == kFatMagic64;
    const quint64 entrySize = wide ? 32 : 20;
    if (count > kMaxSlices)
        return std::nullopt;
    const std::optional<QByteArray> table = read(8, count * entrySize);
    if (!table)
        return std::nullopt;
    QList<Slice> slices;
    for (quint64 at = 0; at < quint64(table->size()); at += entrySize) {
        Slice slice;
        slice.cpuType = bigEndian32(*table, at);
        slice.region = wide ? Region{bigEndian64(*table, at + 8), bigEndian64(*table, at + 16)}
                            : Region{bigEndian32(*table, at + 8), bigEndian32(*table, at + 12)};
        slices.append(slice);
    }
    std::stable_partition(slices.begin(), slices.end(),
                          [](const Slice& slice) { return slice.cpuType == kCpuTypeArm64; });
    return slices;
}

std::optional<QString> teamFromMachO(const ReadAt& read, quint64 size) {
    const std::optional<QByteArray> magicBytes = read(0, 4);
    if (!magicBytes)
        return std::nullopt;
    const quint32 magic = bigEndian32(*magicBytes, 0);
    if (magic != kFatMagic32 && magic != kFatMagic64)
        return teamFromThinImage(read, 0, size);
    const std::optional<QList<Slice>> slices = fatSlices(read, magic);
    if (!slices)
        return std::nullopt;
    for (const Slice& slice : *slices) {
        if (!fits(slice.region.offset, slice.region.size, size))
            continue;
        if (auto team = teamFromThinImage(read, slice.region.offset, slice.region.size))
            return team;
    }
    return std::nullopt;
}

// A CFBundleExecutable value that names a file directly inside Contents/MacOS.
bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(u'\0'));
}

} // namespace

std::optional<QString> teamIdentifierFromMachO(QByteArrayView data) {
    return teamFromMachO(bufferReader(data), quint64(data.size()));
}

std::optional<QString> teamIdentifierFromCodeDirectory(QByteArrayView blob) {
    return teamFromCodeDirectory(bufferReader(blob), 0, quint64(blob.size()));
}

std::optional<QString> teamIdentifierOfMachOFile(const QString& path) {
    return teamFromMachO(fileReader(path), kUnbounded);
}

std::optional<QString> teamIdentifierOfCodeDirectoryFile(const QString& path) {
    const std::optional<QByteArray> blob = fs::readFile(path, kMaxCodeDirectoryFile);
    return blob ? teamIdentifierFromCodeDirectory(*blob) : std::nullopt;
}

std::optional<QString> teamIdentifierOfBundle(const QString& bundlePath,
                                              const std::optional<QString>& executable) {
    if (executable && isPlainFileName(*executable)) {
        const QString path =
            fs::appending(bundlePath, QStringLiteral("Contents/MacOS/") + *executable);
        if (fs::exists(path))
            return teamIdentifierOfMachOFile(path);
    }
    return teamIdentifierOfCodeDirectoryFile(
        fs::appending(bundlePath, QStringLiteral("Contents/_CodeSignature/CodeDirectory")));
}

} // namespace moss::codesign
