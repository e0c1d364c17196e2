#include "platform/CodeSignature.h"

#include "AppBundle.h"
#include "MachOWriter.h"
#include "Sandbox.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace moss::tools;
namespace codesign = moss::codesign;
using moss::AppBundle;

namespace {

const QString kArm = u"ARMTEAM001"_s;
const QString kIntel = u"INTELTEAM2"_s;

// A null team: unsigned.
MachOSlice slice(quint32 cpuType, const QString& team, quint32 version = 0x20400) {
    return {.cpuType = cpuType,
            .is64Bit = cpuType != kCpuTypeI386,
            .sign = !team.isNull(),
            .codeDirectory = {.teamIdentifier = team.toUtf8(), .version = version},
            .alternate = {}};
}
const MachOSlice kArmSlice = slice(kCpuTypeArm64, kArm);
const MachOSlice kIntelSlice = slice(kCpuTypeX86_64, kIntel);

quint32 big32(const QByteArray& data, qsizetype at) {
    return qFromBigEndian<quint32>(data.constData() + at);
}

// Which slice's team counts (arm64 first, else the first with a team), which
// CodeDirectory (the primary, else an alternate), from which version on.
TEST(CodeSignatureTest, ImagesFilesAndBundles) {
    MachOSlice alternate = slice(kCpuTypeArm64, u""_s);
    alternate.alternate = CodeDirectoryOptions{.teamIdentifier = kIntel.toUtf8()};
    QList<MachOSlice> many(63, slice(kCpuTypeX86_64, {}));
    many.append(kArmSlice);
    const std::tuple<const char*, QByteArray, std::optional<QString>> rows[] = {
        {"fat32, arm64 last", universalMachO({kIntelSlice, kArmSlice}), kArm},
        {"old arm64 directory",
         universalMachO(
             {slice(kCpuTypeI386, {}), slice(kCpuTypeArm64, kArm, 0x20100), kIntelSlice}),
         kIntel},
        {"unsigned arm64", universalMachO({slice(kCpuTypeArm64, {}), kIntelSlice}, true), kIntel},
        {"65 slices", universalMachO(many + QList{kIntelSlice}), std::nullopt},
        {"version 0x201ff", thinMachO(slice(kCpuTypeArm64, kArm, 0x201ff)), std::nullopt},
        {"alternate", thinMachO(alternate), kIntel},
        {"no team", thinMachO(slice(kCpuTypeArm64, u""_s)), std::nullopt},
    };
    for (const auto& [what, image, team] : rows)
        EXPECT_EQ(codesign::teamIdentifierFromMachO(image), team) << what;

    const QByteArray blob = codeDirectory({.teamIdentifier = kArm.toUtf8()});
    EXPECT_EQ(codesign::teamIdentifierFromCodeDirectory(blob), kArm);
    EXPECT_FALSE(codesign::teamIdentifierFromCodeDirectory(blob.chopped(1)));

    const QByteArray thin = thinMachO(kArmSlice);
    const QByteArray fat32 = universalMachO({kArmSlice});
    // In thinMachO()'s image: the header is 32 bytes, LC_UUID 24, then
    // LC_CODE_SIGNATURE; entry 1 of the SuperBlob's index is the CodeDirectory.
    const qsizetype command = 56;
    const qsizetype superBlob = qFromLittleEndian<quint32>(thin.constData() + command + 8);
    const qsizetype directory = superBlob + big32(thin, superBlob + 12 + 8 + 4);
    // A 32-bit field of the thin image (little-endian in the load commands,
    // big-endian in the signature) or, at a negative offset, of the fat
    // header set to a lie.
    const std::tuple<const char*, bool, qsizetype, quint32> fields[] = {
        {"command past the end", false, 32 + 4, 0xfffffff8},
        {"signature beyond the file", false, command + 8, 0xfffffff0},
        {"CodeDirectory longer than the SuperBlob", true, directory + 4, 0x7fffffff},
        {"team offset inside the header", true, directory + 48, 8},
        {"slice outside", true, -16, 0xfffff000},
    };
    for (const auto& [what, big, offset, value] : fields) {
        QByteArray data = offset < 0 ? fat32 : thin;
        big ? qToBigEndian(value, data.data() + std::abs(offset))
            : qToLittleEndian(value, data.data() + offset);
        EXPECT_FALSE(codesign::teamIdentifierFromMachO(data)) << what;
    }
    QByteArray wrapping = universalMachO({kArmSlice}, true);
    qToBigEndian(quint64(0xfffffffffffff000), wrapping.data() + 8 + 8);
    qToBigEndian(quint64(0x2000), wrapping.data() + 8 + 16);
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(wrapping));

    // An index of blobs may fill the whole SuperBlob.
    QByteArray fullIndex = thin;
    qToBigEndian((big32(thin, superBlob + 4) - 12) / 8, fullIndex.data() + superBlob + 8);
    EXPECT_EQ(codesign::teamIdentifierFromMachO(fullIndex), kArm);

    // The bundle's main executable, else (without one) the CodeDirectory file;
    // never an executable outside Contents/MacOS; a bare or linked executable.
    moss::test::Sandbox sandbox;
    const auto app = [&](const QString& name, const QVariant& executable, const QByteArray& image,
                         const QString& directoryTeam = {}) {
        QVariantMap info{{u"CFBundleIdentifier"_s, u"com.vendor."_s + name}};
        if (executable.isValid())
            info.insert(u"CFBundleExecutable"_s, executable);
        const QString path = sandbox.makeBundle(name + u".app"_s, info);
        if (!image.isNull())
            sandbox.writeFile(name + u".app/Contents/MacOS/"_s + executable.toString(), image);
        if (!directoryTeam.isEmpty())
            sandbox.writeFile(name + u".app/Contents/_CodeSignature/CodeDirectory"_s,
                              codeDirectory({.teamIdentifier = directoryTeam.toUtf8()}));
        return path;
    };
    const QString tool = sandbox.writeFile(u"tool"_s, thinMachO(kArmSlice));
    const QString linked = app(u"Linked"_s, u"Linked"_s, {});
    sandbox.symlink(tool, u"Linked.app/Contents/MacOS/Linked"_s);
    const std::pair<QString, std::optional<QString>> bundles[] = {
        {app(u"Signed"_s, u"Signed Bin"_s, universalMachO({kIntelSlice, kArmSlice})) + u'/', kArm},
        {app(u"NoKey"_s, {}, {}, kArm), kArm},
        {app(u"Plain"_s, u"Plain"_s, thinMachO(slice(kCpuTypeArm64, {})), kArm), std::nullopt},
        {app(u"Escape"_s, u"../../../tool"_s, {}, kIntel), kIntel},
        {tool, kArm},
        {linked, kArm},
    };
    for (const auto& [path, team] : bundles)
        EXPECT_EQ(AppBundle::teamIdentifierOf(path), team) << path.toStdString();
    EXPECT_EQ(AppBundle::load(linked)->teamIdentifier, kArm);
    EXPECT_FALSE(AppBundle::load(linked, false)->teamIdentifier);
}

} // namespace
