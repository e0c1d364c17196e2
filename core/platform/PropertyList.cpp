#include "platform/PropertyList.h"

#include "platform/FileSystem.h"
#include "platform/PropertyListLimits.h"

#include <QDateTime>
#include <QStringDecoder>
#include <QTimeZone>
#include <QVariantList>
#include <cstdlib>
#include <memory>
#include <plist/plist.h>

namespace moss::plist {

namespace {

// Seconds between the Unix epoch and 2001-01-01, libplist's date epoch.
constexpr qint64 kPlistEpochOffset = 978307200;
// Nesting deeper than this is refused before libplist sees it (hostile input).
constexpr int kMaxDepth = 128;
// Nor are property lists that libplist would expand into more values.
constexpr quint64 kMaxNodes = 1 << 20;
// Larger inputs are not property lists that anything here needs to read.
constexpr qsizetype kMaxInput = maxInputSize;

struct NodeDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

QVariant toVariant(plist_t node, int depth);

QVariantMap dictToMap(plist_t node, int depth) {
    QVariantMap map;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    if (!iter)
        return map;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        if (key)
            map.insert(QString::fromUtf8(key), toVariant(value, depth + 1));
        std::free(key);
    }
    std::free(iter);
    return map;
}

QVariant toVariant(plist_t node, int depth) {
    if (!node || depth > kMaxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING: {
        // Through the pointer and its length: the copying getter aborts on a
        // string with a NUL inside, which a binary list can hold.
        uint64_t length = 0;
        const char* value = plist_get_string_ptr(node, &length);
        return value ? QString::fromUtf8(value, qsizetype(length)) : QString();
    }
    case PLIST_DATA: {
        char* value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        QByteArray bytes(value, qsizetype(length));
        std::free(value);
        return bytes;
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromSecsSinceEpoch(kPlistEpochOffset + sec, QTimeZone::utc())
            .addMSecs(usec / 1000);
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i)
            list.append(toVariant(plist_array_get_item(node, i), depth + 1));
        return list;
    }
    case PLIST_DICT:
        return dictToMap(node, depth);
    default:
        return {};
    }
}

// libplist reads UTF-8 only and gives up on a byte-order mark: convert first.
// Text with a NUL character comes back empty (malformed).
QByteArray asUtf8(const QByteArray& data) {
    auto startsWith = [&](std::initializer_list<unsigned char> bytes) {
        if (data.size() < qsizetype(bytes.size()))
            return false;
        qsizetype i = 0;
        for (unsigned char b : bytes)
            if (static_cast<unsigned char>(data[i++]) != b)
                return false;
        return true;
    };
    if (startsWith({0xEF, 0xBB, 0xBF}))
        return data.mid(3);
    std::optional<QStringDecoder::Encoding> utf16;
    if (startsWith({0xFF, 0xFE}) || startsWith({'<', 0x00}))
        utf16 = QStringDecoder::Utf16LE;
    else if (startsWith({0xFE, 0xFF}) || startsWith({0x00, '<'}))
        utf16 = QStringDecoder::Utf16BE;
    if (!utf16)
        return data.contains('\0') && !data.startsWith("bplist") ? QByteArray() : data;
    QStringDecoder decoder(*utf16, QStringDecoder::Flag::Stateless);
    QString text = decoder(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    // A NUL is no XML character, and libplist aborts on strings that hold one.
    if (text.contains(QChar(0)))
        return {};
    return text.toUtf8();
}

void setNode(plist_t dict, const QString& key, const QVariant& value);

plist_t fromVariant(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - kPlistEpochOffset * 1000;
        return plist_new_date(int32_t(ms / 1000), int32_t((ms % 1000) * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList())
            plist_array_append_item(array, fromVariant(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            setNode(dict, it.key(), it.value());
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

void setNode(plist_t dict, const QString& key, const QVariant& value) {
    plist_dict_set_item(dict, key.toUtf8().constData(), fromVariant(value));
}

} // namespace

std::optional<QVariantMap> dictionaryFromData(const QByteArray& raw) {
    if (raw.isEmpty() || raw.size() > kMaxInput)
        return std::nullopt;
    const QByteArray data = asUtf8(raw);
    if (data.isEmpty() || !isSafeToParse(data, {kMaxDepth, kMaxNodes}))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    const Node guard(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
    return dictToMap(root, 0);
}

std::optional<QVariantMap> dictionaryFromFile(const QString& path) {
    const std::optional<QByteArray> data = fs::readFile(path, kMaxInput + 1);
    if (!data)
        return std::nullopt;
    return dictionaryFromData(*data);
}

std::optional<QString> stringValue(const QVariantMap& dict, const QString& key) {
    const auto it = dict.constFind(key);
    if (it == dict.cend() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    return it->toString();
}

QByteArray dataFromDictionary(const QVariantMap& dict, Format format) {
    Node root(fromVariant(dict));
    char* out = nullptr;
    uint32_t length = 0;
    if (format == Format::xml) {
        plist_to_xml(static_cast<plist_t>(root.get()), &out, &length);
        QByteArray bytes(out, qsizetype(length));
        plist_to_xml_free(out);
        return bytes;
    }
    plist_to_bin(static_cast<plist_t>(root.get()), &out, &length);
    QByteArray bytes(out, qsizetype(length));
    plist_to_bin_free(out);
    return bytes;
}

} // namespace moss::plist
