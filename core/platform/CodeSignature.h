#pragma once

// Team identifier of a code signature, read straight from the Mach-O file: the
// LC_CODE_SIGNATURE load command leads to an embedded signature SuperBlob, and
// its CodeDirectory (version 0x20200 and later) names the signing team. The
// signature is not validated. Every reader here is bounds-checked: truncated,
// inconsistent or hostile input gives nullopt, never a crash.

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace moss::codesign {

// A thin (32- or 64-bit) or universal (fat 32 or fat 64) Mach-O image. For a
// universal one the arm64 slice wins; when it has no team identifier, the
// first slice that has one.
std::optional<QString> teamIdentifierFromMachO(QByteArrayView data);

// A bare CodeDirectory blob, as a bundle without an executable keeps it in
// Contents/_CodeSignature/CodeDirectory.
std::optional<QString> teamIdentifierFromCodeDirectory(QByteArrayView blob);

// The same for files; only the bytes that the walk needs are read.
std::optional<QString> teamIdentifierOfMachOFile(const QString& path);
std::optional<QString> teamIdentifierOfCodeDirectoryFile(const QString& path);

// The bundle's signature: its main executable Contents/MacOS/<executable>
// when there is one, otherwise Contents/_CodeSignature/CodeDirectory.
std::optional<QString> teamIdentifierOfBundle(const QString& bundlePath,
                                              const std::optional<QString>& executable);

} // namespace moss::codesign
