#include "platform/CodeSignature.h"

#include "AppBundle.h"
#include "MachOWriter.h"
#include "Sandbox.h"
#include "platform/FileSystem.h"

#include <QtEndian>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace codesign = moss::codesign;
using moss::test::Sandbox;
using moss::tools::CodeDirectoryOptions;
using moss::tools::MachOSlice;

namespace {

const QString kArmTeam = QStringLiteral("ARMTEAM001");
const QString kIntelTeam = QStringLiteral("INTELTEAM2");

MachOSlice slice(quint32 cpuType, const QString& team, bool is64Bit = true) {
    MachOSlice result;
    result.cpuType = cpuType;
    result.is64Bit = is64Bit;
    result.codeDirectory.teamIdentifier = team.toUtf8();
    return result;
}

MachOSlice unsignedSlice(quint32 cpuType) {
    MachOSlice result;
    result.cpuType = cpuType;
    result.sign = false;
    return result;
}

quint32 little32(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}
void setLittle32(QByteArray& data, qsizetype at, quint32 value) {
    qToLittleEndian(value, data.data() + at);
}
quint32 big32(const QByteArray& data, qsizetype at) {
    return qFromBigEndian<quint32>(data.constData() + at);
}
void setBig32(QByteArray& data, qsizetype at, quint32 value) {
    qToBigEndian(value, data.data() + at);
}

// Offsets inside a thin 64-bit image from thinMachO(): the header is 32
// bytes, LC_UUID 24, then LC_CODE_SIGNATURE.
struct ThinLayout {
    static constexpr qsizetype commandCount = 16;
    static constexpr qsizetype commandBytes = 20;
    static constexpr qsizetype uuidSize = 36;
    static constexpr qsizetype signatureCommand = 56;
    qsizetype superBlob = 0;
    qsizetype codeDirectory = 0;

    explicit ThinLayout(const QByteArray& image) {
        superBlob = little32(image, signatureCommand + 8);
        // Index entry 1 is the CodeDirectory (entry 0: requirements).
        codeDirectory = superBlob + big32(image, superBlob + 12 + 8 + 4);
    }
};

// --- well-formed images ---------------------------------------------------

TEST(CodeSignatureTest, ThinImagesOfBothWidths) {
    EXPECT_EQ(codesign::teamIdentifierFromMachO(
                  moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, kArmTeam))),
              kArmTeam);
    EXPECT_EQ(codesign::teamIdentifierFromMachO(
                  moss::tools::thinMachO(slice(moss::tools::kCpuTypeI386, kIntelTeam, false))),
              kIntelTeam);
}

TEST(CodeSignatureTest, UniversalPrefersArm64WhereverItStands) {
    const MachOSlice arm = slice(moss::tools::kCpuTypeArm64, kArmTeam);
    const MachOSlice intel = slice(moss::tools::kCpuTypeX86_64, kIntelTeam);
    for (bool fat64 : {false, true}) {
        EXPECT_EQ(
            codesign::teamIdentifierFromMachO(moss::tools::universalMachO({intel, arm}, fat64)),
            kArmTeam);
        EXPECT_EQ(
            codesign::teamIdentifierFromMachO(moss::tools::universalMachO({arm, intel}, fat64)),
            kArmTeam);
    }
}

TEST(CodeSignatureTest, UniversalFallsBackToTheFirstSliceWithATeam) {
    const MachOSlice i386 = unsignedSlice(moss::tools::kCpuTypeI386);
    const MachOSlice intel = slice(moss::tools::kCpuTypeX86_64, kIntelTeam);
    MachOSlice oldArm = slice(moss::tools::kCpuTypeArm64, kArmTeam);
    oldArm.codeDirectory.version = 0x20100;
    EXPECT_EQ(codesign::teamIdentifierFromMachO(moss::tools::universalMachO({i386, oldArm, intel})),
              kIntelTeam);
    EXPECT_EQ(codesign::teamIdentifierFromMachO(moss::tools::universalMachO(
                  {unsignedSlice(moss::tools::kCpuTypeArm64), intel}, true)),
              kIntelTeam);
}

TEST(CodeSignatureTest, NoSignatureOrNoTeamGivesNothing) {
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(
        moss::tools::thinMachO(unsignedSlice(moss::tools::kCpuTypeArm64))));
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(moss::tools::universalMachO(
        {unsignedSlice(moss::tools::kCpuTypeArm64), unsignedSlice(moss::tools::kCpuTypeX86_64)})));
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(
        moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, QString()))));
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(moss::tools::universalMachO({})));
}

TEST(CodeSignatureTest, TeamFieldNeedsCodeDirectoryVersion20200) {
    for (quint32 version : {0x20001u, 0x20100u, 0x201ffu}) {
        MachOSlice old = slice(moss::tools::kCpuTypeArm64, kArmTeam);
        old.codeDirectory.version = version;
        EXPECT_FALSE(codesign::teamIdentifierFromMachO(moss::tools::thinMachO(old))) << version;
    }
    MachOSlice first = slice(moss::tools::kCpuTypeArm64, kArmTeam);
    first.codeDirectory.version = moss::tools::kCodeDirectoryTeamVersion;
    EXPECT_EQ(codesign::teamIdentifierFromMachO(moss::tools::thinMachO(first)), kArmTeam);
}

TEST(CodeSignatureTest, AlternateCodeDirectoryIsConsultedWhenThePrimaryHasNoTeam) {
    MachOSlice image = slice(moss::tools::kCpuTypeArm64, QString());
    image.alternate = CodeDirectoryOptions{.teamIdentifier = kIntelTeam.toUtf8()};
    EXPECT_EQ(codesign::teamIdentifierFromMachO(moss::tools::thinMachO(image)), kIntelTeam);

    image.codeDirectory.teamIdentifier = kArmTeam.toUtf8();
    EXPECT_EQ(codesign::teamIdentifierFromMachO(moss::tools::thinMachO(image)), kArmTeam);
}

TEST(CodeSignatureTest, BareCodeDirectoryBlob) {
    CodeDirectoryOptions options;
    options.teamIdentifier = kArmTeam.toUtf8();
    const QByteArray blob = moss::tools::codeDirectory(options);
    EXPECT_EQ(codesign::teamIdentifierFromCodeDirectory(blob), kArmTeam);
    options.version = 0x20100;
    EXPECT_FALSE(codesign::teamIdentifierFromCodeDirectory(moss::tools::codeDirectory(options)));
    EXPECT_FALSE(codesign::teamIdentifierFromCodeDirectory(blob.left(blob.size() - 1)));
    EXPECT_FALSE(codesign::teamIdentifierFromCodeDirectory({}));
}

TEST(CodeSignatureTest, OtherFilesAreNotMachO) {
    const QByteArray javaClass = QByteArray::fromHex("cafebabe00000034") + QByteArray(64, 'x');
    const QByteArray bigEndianMachO = QByteArray::fromHex("feedfacf") + QByteArray(64, '\0');
    for (const QByteArray& data : {QByteArray(), QByteArray("#!/bin/sh\necho hi\n"), javaClass,
                                   bigEndianMachO, QByteArray(3, '\xcf')})
        EXPECT_FALSE(codesign::teamIdentifierFromMachO(data));
}

// --- lying headers ---------------------------------------------------------

TEST(CodeSignatureTest, LyingThinHeadersGiveNothing) {
    const QByteArray good = moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, kArmTeam));
    const ThinLayout at(good);
    ASSERT_EQ(codesign::teamIdentifierFromMachO(good), kArmTeam);

    const std::vector<std::pair<const char*, std::function<void(QByteArray&)>>> lies = {
        {"commands overrun the file",
         [](QByteArray& d) { setLittle32(d, ThinLayout::commandBytes, 0xfffffff0); }},
        {"zero-sized command", [](QByteArray& d) { setLittle32(d, ThinLayout::uuidSize, 0); }},
        {"command past the end",
         [](QByteArray& d) { setLittle32(d, ThinLayout::uuidSize, 0xfffffff8); }},
        {"short signature command",
         [](QByteArray& d) { setLittle32(d, ThinLayout::signatureCommand + 4, 8); }},
        {"signature beyond the file",
         [](QByteArray& d) { setLittle32(d, ThinLayout::signatureCommand + 8, 0xfffffff0); }},
        {"signature size wraps",
         [](QByteArray& d) { setLittle32(d, ThinLayout::signatureCommand + 12, 0xffffffff); }},
        {"not a SuperBlob", [&](QByteArray& d) { setBig32(d, at.superBlob, 0xfade0c00); }},
        {"SuperBlob longer than its region",
         [&](QByteArray& d) { setBig32(d, at.superBlob + 4, 0xffffff00); }},
        {"blob count huge", [&](QByteArray& d) { setBig32(d, at.superBlob + 8, 0x20000000); }},
        {"CodeDirectory offset outside",
         [&](QByteArray& d) { setBig32(d, at.superBlob + 24, 0xfffffff0); }},
        {"CodeDirectory longer than the SuperBlob",
         [&](QByteArray& d) { setBig32(d, at.codeDirectory + 4, 0x7fffffff); }},
        {"team offset outside",
         [&](QByteArray& d) { setBig32(d, at.codeDirectory + 48, 0xfffffff0); }},
        {"team offset inside the header",
         [&](QByteArray& d) { setBig32(d, at.codeDirectory + 48, 8); }},
        {"team without terminator", [&](QByteArray& d) { d[d.size() - 1] = 'Z'; }},
    };
    for (const auto& [what, lie] : lies) {
        QByteArray data = good;
        lie(data);
        EXPECT_FALSE(codesign::teamIdentifierFromMachO(data)) << what;
    }
}

TEST(CodeSignatureTest, CountsBeyondTheCommandsStopTheWalk) {
    QByteArray data = moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, kArmTeam));
    setLittle32(data, ThinLayout::commandCount, 0xffffffff);
    EXPECT_EQ(codesign::teamIdentifierFromMachO(data), kArmTeam);
    setLittle32(data, ThinLayout::commandCount, 1); // the signature command is not counted
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(data));
}

TEST(CodeSignatureTest, LyingFatHeadersGiveNothing) {
    const QByteArray good32 =
        moss::tools::universalMachO({slice(moss::tools::kCpuTypeArm64, kArmTeam)});
    const QByteArray good64 =
        moss::tools::universalMachO({slice(moss::tools::kCpuTypeArm64, kArmTeam)}, true);
    ASSERT_EQ(codesign::teamIdentifierFromMachO(good32), kArmTeam);
    ASSERT_EQ(codesign::teamIdentifierFromMachO(good64), kArmTeam);

    QByteArray manySlices = good32;
    setBig32(manySlices, 4, 0xffffffff);
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(manySlices));

    QByteArray sliceOutside = good32;
    setBig32(sliceOutside, 8 + 8, 0xfffff000);
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(sliceOutside));

    QByteArray sizeOutside = good32;
    setBig32(sizeOutside, 8 + 12, 0xffffffff);
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(sizeOutside));

    QByteArray wrapping = good64; // offset + size overflows 64 bits
    qToBigEndian(quint64(0xfffffffffffff000), wrapping.data() + 8 + 8);
    qToBigEndian(quint64(0x2000), wrapping.data() + 8 + 16);
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(wrapping));

    QByteArray nestedFat = good32; // a slice that is itself a fat header
    const quint32 sliceOffset = big32(nestedFat, 8 + 8);
    nestedFat.replace(sliceOffset, 8, nestedFat.left(8));
    EXPECT_FALSE(codesign::teamIdentifierFromMachO(nestedFat));
}

// --- truncation and random corruption --------------------------------------

// A team read from corrupted input is nothing, or a short non-empty string
// without NUL that was taken from the input's own bytes.
void expectSane(const std::optional<QString>& team, const QByteArray& input, const char* what,
                int round) {
    if (!team)
        return;
    const QByteArray bytes = team->toUtf8();
    EXPECT_FALSE(bytes.isEmpty() || bytes.contains('\0') || bytes.size() > 1024) << what << round;
    if (!team->contains(QChar::ReplacementCharacter)) {
        EXPECT_TRUE(input.contains(bytes)) << what << round;
    }
}

TEST(CodeSignatureTest, EveryTruncationGivesNothingOrAnIntactSlicesTeam) {
    const QByteArray thin = moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, kArmTeam));
    for (qsizetype length = 0; length < thin.size(); ++length)
        EXPECT_FALSE(codesign::teamIdentifierFromMachO(thin.left(length))) << length;

    // The arm64 slice comes last, so cutting into it leaves the Intel one.
    const QByteArray fat =
        moss::tools::universalMachO({slice(moss::tools::kCpuTypeX86_64, kIntelTeam),
                                     slice(moss::tools::kCpuTypeArm64, kArmTeam)});
    const qsizetype intelEnd = big32(fat, 8 + 8) + big32(fat, 8 + 12);
    for (qsizetype length = 0; length < fat.size(); ++length) {
        const auto team = codesign::teamIdentifierFromMachO(fat.left(length));
        EXPECT_EQ(team, length >= intelEnd ? std::optional(kIntelTeam) : std::nullopt) << length;
    }
}

TEST(CodeSignatureTest, RandomMutationsNeverCrashAndGiveSaneResults) {
    MachOSlice withAlternate = slice(moss::tools::kCpuTypeArm64, kArmTeam);
    withAlternate.alternate = CodeDirectoryOptions{.teamIdentifier = "ALTTEAM003"};
    const std::pair<const char*, QByteArray> seeds[] = {
        {"thin", moss::tools::thinMachO(withAlternate)},
        {"fat32", moss::tools::universalMachO(
                      {slice(moss::tools::kCpuTypeX86_64, kIntelTeam), withAlternate})},
        {"fat64", moss::tools::universalMachO(
                      {withAlternate, slice(moss::tools::kCpuTypeX86_64, kIntelTeam)}, true)},
    };
    std::mt19937 random(20240611);
    for (const auto& [what, seed] : seeds) {
        for (int round = 0; round < 1500; ++round) {
            QByteArray data = seed;
            const int changes = 1 + int(random() % 8);
            for (int i = 0; i < changes; ++i) {
                // Mostly the headers, where a change matters; sometimes anywhere.
                const qsizetype span =
                    random() % 4 == 0 ? data.size() : std::min<qsizetype>(data.size(), 160);
                data[qsizetype(random() % quint32(span))] = char(random());
            }
            expectSane(codesign::teamIdentifierFromMachO(data), data, what, round);
        }
    }
}

TEST(CodeSignatureTest, RandomCodeDirectoryMutationsNeverCrash) {
    const QByteArray blob = moss::tools::codeDirectory({});
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray data = blob;
        for (int i = 0; i < 3; ++i)
            data[qsizetype(random() % quint32(data.size()))] = char(random());
        expectSane(codesign::teamIdentifierFromCodeDirectory(data), data, "blob", round);
    }
}

// --- files and bundles -------------------------------------------------------

class BundleSignatureTest : public ::testing::Test {
protected:
    QString makeApp(const QString& name, const std::optional<QString>& executable) const {
        QVariantMap info{
            {QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.vendor.") + name}};
        if (executable)
            info.insert(QStringLiteral("CFBundleExecutable"), *executable);
        return sandbox.makeBundle(name + QStringLiteral(".app"), info);
    }
    void writeExecutable(const QString& app, const QString& name, const QByteArray& image) const {
        sandbox.writeFile(QStringLiteral("%1.app/Contents/MacOS/%2").arg(app, name), image);
    }
    void writeCodeDirectory(const QString& app, const QString& team) const {
        CodeDirectoryOptions options;
        options.teamIdentifier = team.toUtf8();
        sandbox.writeFile(app + QStringLiteral(".app/Contents/_CodeSignature/CodeDirectory"),
                          moss::tools::codeDirectory(options));
    }

    Sandbox sandbox;
};

TEST_F(BundleSignatureTest, MainExecutableIsRead) {
    const QString app = makeApp(QStringLiteral("Signed"), QStringLiteral("Signed Bin"));
    writeExecutable(QStringLiteral("Signed"), QStringLiteral("Signed Bin"),
                    moss::tools::universalMachO({slice(moss::tools::kCpuTypeX86_64, kIntelTeam),
                                                 slice(moss::tools::kCpuTypeArm64, kArmTeam)}));
    EXPECT_EQ(moss::AppBundle::teamIdentifierOf(app), kArmTeam);
    EXPECT_EQ(moss::AppBundle::teamIdentifierOf(app + u'/'), kArmTeam);
    EXPECT_EQ(moss::AppBundle::load(app)->teamIdentifier, kArmTeam);
    EXPECT_FALSE(moss::AppBundle::load(app, false)->teamIdentifier);
    EXPECT_NE(*moss::AppBundle::load(app), *moss::AppBundle::load(app, false));
}

TEST_F(BundleSignatureTest, BundleWithoutExecutableUsesItsCodeDirectory) {
    const QString noKey = makeApp(QStringLiteral("NoKey"), std::nullopt);
    writeCodeDirectory(QStringLiteral("NoKey"), kArmTeam);
    EXPECT_EQ(moss::AppBundle::teamIdentifierOf(noKey), kArmTeam);

    const QString missing = makeApp(QStringLiteral("Missing"), QStringLiteral("Gone"));
    writeCodeDirectory(QStringLiteral("Missing"), kIntelTeam);
    EXPECT_EQ(moss::AppBundle::teamIdentifierOf(missing), kIntelTeam);

    const QString nothing = makeApp(QStringLiteral("Nothing"), std::nullopt);
    EXPECT_FALSE(moss::AppBundle::teamIdentifierOf(nothing));
}

TEST_F(BundleSignatureTest, AnUnsignedExecutableIsNotReplacedByTheCodeDirectory) {
    const QString app = makeApp(QStringLiteral("Plain"), QStringLiteral("Plain"));
    writeExecutable(QStringLiteral("Plain"), QStringLiteral("Plain"),
                    moss::tools::thinMachO(unsignedSlice(moss::tools::kCpuTypeArm64)));
    writeCodeDirectory(QStringLiteral("Plain"), kArmTeam);
    EXPECT_FALSE(moss::AppBundle::teamIdentifierOf(app));
}

TEST_F(BundleSignatureTest, ExecutableNamesLeavingMacOSAreNotFollowed) {
    sandbox.writeFile(QStringLiteral("Signed.bin"),
                      moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, kArmTeam)));
    const QString app = makeApp(QStringLiteral("Escape"), QStringLiteral("../../../Signed.bin"));
    EXPECT_FALSE(moss::AppBundle::teamIdentifierOf(app));
}

TEST_F(BundleSignatureTest, SpecialFilesAreRefusedWithoutBlocking) {
    const QString app = makeApp(QStringLiteral("Fifo"), QStringLiteral("Fifo"));
    sandbox.makeDir(QStringLiteral("Fifo.app/Contents/MacOS"));
    ASSERT_EQ(
        ::mkfifo(moss::fs::encodePath(app + QStringLiteral("/Contents/MacOS/Fifo")).constData(),
                 0644),
        0);
    EXPECT_FALSE(moss::AppBundle::teamIdentifierOf(app));

    const QString folder = makeApp(QStringLiteral("Dir"), QStringLiteral("Dir"));
    sandbox.makeDir(QStringLiteral("Dir.app/Contents/MacOS/Dir"));
    EXPECT_FALSE(moss::AppBundle::teamIdentifierOf(folder));
}

TEST_F(BundleSignatureTest, BareExecutableAndLinkedExecutable) {
    const QString binary =
        sandbox.writeFile(QStringLiteral("tool"),
                          moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, kArmTeam)));
    EXPECT_EQ(moss::AppBundle::teamIdentifierOf(binary), kArmTeam);

    const QString app = makeApp(QStringLiteral("Linked"), QStringLiteral("Linked"));
    sandbox.symlink(binary, QStringLiteral("Linked.app/Contents/MacOS/Linked"));
    EXPECT_EQ(moss::AppBundle::teamIdentifierOf(app), kArmTeam);
}

TEST_F(BundleSignatureTest, OnlyTheNeededBytesOfAHugeExecutableAreRead) {
    // A sparse 3 GB file whose signature sits at its very end.
    const QByteArray image = moss::tools::thinMachO(slice(moss::tools::kCpuTypeArm64, kArmTeam));
    const ThinLayout at(image);
    const quint32 signatureOffset = 3000u * 1000 * 1000;
    QByteArray head = image.left(at.superBlob);
    setLittle32(head, ThinLayout::signatureCommand + 8, signatureOffset);
    const QString path = sandbox.writeFile(QStringLiteral("Huge.app/Contents/MacOS/Huge"), head);
    const QByteArray encoded = moss::fs::encodePath(path);
    ASSERT_EQ(::truncate(encoded.constData(), off_t(signatureOffset)), 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(image.mid(at.superBlob));
    file.close();
    sandbox.writePlist(QStringLiteral("Huge.app/Contents/Info.plist"),
                       {{QStringLiteral("CFBundleExecutable"), QStringLiteral("Huge")}});
    EXPECT_EQ(moss::AppBundle::teamIdentifierOf(sandbox.path(QStringLiteral("Huge.app"))),
              kArmTeam);
}

} // namespace
