#pragma once

// Property lists (XML and binary) read with libplist into Qt values:
// dictionaries become QVariantMap, arrays QVariantList, strings QString,
// integers qint64 (or quint64), reals double, booleans bool, dates QDateTime,
// data QByteArray. Malformed input gives nullopt, never a crash.

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace moss::plist {

// Larger input is refused as malformed (launch jobs are read with this limit too).
inline constexpr qsizetype maxInputSize = 16 * 1024 * 1024;

// A dictionary read from bytes; nullopt unless the root is a dictionary.
// A UTF-8 byte-order mark and UTF-16 text (with a byte-order mark) are accepted.
std::optional<QVariantMap> dictionaryFromData(const QByteArray& data);
std::optional<QVariantMap> dictionaryFromFile(const QString& path);

// The value under key when it is a string, else nullopt.
std::optional<QString> stringValue(const QVariantMap& dict, const QString& key);

enum class Format { xml, binary };
// Serialises a dictionary (the types above) as a property list.
QByteArray dataFromDictionary(const QVariantMap& dict, Format format);

} // namespace moss::plist
