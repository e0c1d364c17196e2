// Writes the Mach-O seeds of CodeSignatureFuzz into a folder:
//     MachOSeeds tests/fuzz/corpus/CodeSignatureFuzz
#include "MachOWriter.h"

#include <QFile>
#include <QString>
#include <cstdio>

using namespace moss::tools;

namespace {

bool write(const QString& folder, const char* name, const QByteArray& data) {
    QFile file(folder + u'/' + QString::fromLatin1(name));
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: MachOSeeds FOLDER\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const MachOSlice arm;
    const MachOSlice intel{.cpuType = kCpuTypeX86_64,
                           .codeDirectory = {.teamIdentifier = "INTEL00001"}};
    const MachOSlice old32{.cpuType = kCpuTypeI386, .is64Bit = false};
    const MachOSlice unsignedSlice{.sign = false};
    const MachOSlice noTeam{.codeDirectory = {.teamIdentifier = {}}};
    const MachOSlice oldDirectory{.codeDirectory = {.version = 0x20100}};
    const MachOSlice alternate{.codeDirectory = {.teamIdentifier = {}},
                               .alternate = CodeDirectoryOptions{.teamIdentifier = "ALT0000001"}};
    const bool ok = write(folder, "thin-arm64", thinMachO(arm)) &&
                    write(folder, "thin-i386", thinMachO(old32)) &&
                    write(folder, "thin-unsigned", thinMachO(unsignedSlice)) &&
                    write(folder, "thin-no-team", thinMachO(noTeam)) &&
                    write(folder, "thin-old-directory", thinMachO(oldDirectory)) &&
                    write(folder, "thin-alternate", thinMachO(alternate)) &&
                    write(folder, "fat32", universalMachO({intel, arm})) &&
                    write(folder, "fat64", universalMachO({intel, noTeam}, true)) &&
                    write(folder, "code-directory", codeDirectory({}));
    return ok ? 0 : 1;
}
