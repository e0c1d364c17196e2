// Writes the Mach-O seeds of CodeSignatureFuzz into a folder:
//     MachOSeeds tests/fuzz/corpus/CodeSignatureFuzz
#include "MachOWriter.h"

#include <QFile>
#include <QString>
#include <cstdio>

using namespace moss::tools;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: MachOSeeds FOLDER\n", stderr);
        return 2;
    }
    const MachOSlice arm, noTeam{.codeDirectory = {.teamIdentifier = {}}};
    const MachOSlice intel{.cpuType = kCpuTypeX86_64,
                           .codeDirectory = {.teamIdentifier = "INTEL00001"}};
    const MachOSlice alternate{.codeDirectory = {.teamIdentifier = {}},
                               .alternate = CodeDirectoryOptions{.teamIdentifier = "ALT0000001"}};
    const std::pair<const char*, QByteArray> seeds[] = {
        {"thin-arm64", thinMachO(arm)},
        {"thin-i386", thinMachO({.cpuType = kCpuTypeI386, .is64Bit = false})},
        {"thin-unsigned", thinMachO({.sign = false})},
        {"thin-no-team", thinMachO(noTeam)},
        {"thin-old-directory", thinMachO({.codeDirectory = {.version = 0x20100}})},
        {"thin-alternate", thinMachO(alternate)},
        {"fat32", universalMachO({intel, arm})},
        {"fat64", universalMachO({intel, noTeam}, true)},
        {"code-directory", codeDirectory({})},
    };
    for (const auto& [name, data] : seeds) {
        QFile file(QString::fromLocal8Bit(argv[1]) + u'/' + QString::fromLatin1(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return 1;
    }
    return 0;
}
