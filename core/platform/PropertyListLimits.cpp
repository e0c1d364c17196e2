#include "platform/PropertyListLimits.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <algorithm>
#include <optional>
#include <vector>

namespace moss::plist {

namespace {

// --- XML ---------------------------------------------------------------------

bool isContainerTag(QByteArrayView name) {
    return name == "array" || name == "dict";
}

// The element name at the start of a tag's text (after '<', or after "</").
QByteArrayView tagName(QByteArrayView tag) {
    const auto end = std::find_if(tag.begin(), tag.end(), [](char c) {
        return c == '/' || c == '>' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
    });
    return tag.first(end - tag.begin());
}

// Position after a comment, CDATA section, declaration or processing
// instruction starting at `at`; `at` when none starts there; -1 when it does
// not end.
qsizetype skipMarkup(QByteArrayView xml, qsizetype at) {
    const std::pair<QByteArrayView, QByteArrayView> kinds[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<!", ">"}, {"<?", "?>"}};
    for (const auto& [opening, closing] : kinds) {
        if (xml.sliced(at).startsWith(opening)) {
            const qsizetype end = xml.indexOf(closing, at + opening.size());
            return end < 0 ? -1 : end + closing.size();
        }
    }
    return at;
}

bool xmlWithinLimits(QByteArrayView xml, const ParseLimits& limits) {
    int depth = 0;
    quint64 elements = 0;
    qsizetype at = xml.indexOf('<');
    while (at >= 0) {
        const qsizetype next = skipMarkup(xml, at);
        if (next != at) {
            at = next < 0 ? -1 : xml.indexOf('<', next);
            continue;
        }
        const qsizetype end = xml.indexOf('>', at);
        if (end < 0)
            break; // unterminated: libplist refuses it
        const QByteArrayView tag = xml.sliced(at + 1, end - at - 1);
        const bool closing = tag.startsWith('/');
        const bool container = isContainerTag(tagName(closing ? tag.sliced(1) : tag));
        if (closing) {
            if (container)
                depth = std::max(0, depth - 1);
        } else {
            if (++elements > limits.nodes)
                return false;
            if (container && !tag.endsWith('/') && ++depth > limits.depth)
                return false;
        }
        at = xml.indexOf('<', end + 1);
    }
    return true;
}

// --- binary --------------------------------------------------------------------

// The object table of a binary property list. A 32-byte trailer at the end
// gives the byte widths of offsets and references, the object count, the
// root object and where the offset table starts; the objects lie between
// the 8-byte header and the trailer.
class BinaryTable {
public:
    struct Object {
        bool isContainer = false;
        QList<quint64> children; // references: array elements, or keys then values
    };

    explicit BinaryTable(QByteArrayView data) : data_(data) {
        if (data.size() < kHeader + 32)
            return;
        end_ = quint64(data.size()) - 32;
        offsetSize_ = int(*number(end_ + 6, 1));
        referenceSize_ = int(*number(end_ + 7, 1));
        count_ = *number(end_ + 8, 8);
        root_ = *number(end_ + 16, 8);
        table_ = *number(end_ + 24, 8);
        valid_ = offsetSize_ >= 1 && offsetSize_ <= 8 && referenceSize_ >= 1 &&
                 referenceSize_ <= 8 && root_ < count_ && table_ <= end_ &&
                 count_ <= (end_ - table_) / quint64(offsetSize_);
    }

    bool isValid() const { return valid_; }
    quint64 root() const { return root_; }

    // The object at an index as libplist reads it from the root; nullopt when
    // it or its references lie outside the objects before the offset table.
    std::optional<Object> object(quint64 index) const {
        const std::optional<quint64> offset = offsetOf(index);
        if (!offset || *offset >= table_)
            return std::nullopt;
        const int type = typeAt(*offset);
        if (type < kFirstContainer || type > kLastContainer)
            return Object{}; // not an array, set or dictionary
        quint64 at = 0;
        const std::optional<quint64> entries = entryCount(*offset, at);
        const bool isDictionary = type == kDictionary;
        if (!entries || (isDictionary && !fits(at, *entries, quint64(referenceSize_), table_)))
            return std::nullopt;
        std::optional<QList<quint64>> children =
            references(at, isDictionary ? *entries * 2 : *entries, table_);
        if (!children)
            return std::nullopt;
        return Object{true, std::move(*children)};
    }

    // Whether some dictionary of the table, reachable from the root or not,
    // has a key that is a string with a NUL in it (libplist aborts on one).
    // Anything that cannot be read on the way counts as such a key.
    bool keyMayHoldNul() const {
        for (quint64 index = 0; index < count_; ++index) {
            const std::optional<quint64> offset = offsetOf(index);
            if (!offset || (typeAt(*offset) == kDictionary && dictionaryKeyMayHoldNul(*offset)))
                return true;
        }
        return false;
    }

private:
    static constexpr qsizetype kHeader = 8;
    // Object types, from the high nibble of an object's marker byte.
    static constexpr int kAsciiString = 0x5;
    static constexpr int kUtf16String = 0x6;
    static constexpr int kFirstContainer = 0xA; // array
    static constexpr int kDictionary = 0xD;
    static constexpr int kLastContainer = 0xD; // arrays, sets, dictionaries

    // Where the object at an index starts: after the header, before the trailer.
    std::optional<quint64> offsetOf(quint64 index) const {
        if (index >= count_)
            return std::nullopt;
        const std::optional<quint64> offset =
            number(table_ + index * quint64(offsetSize_), offsetSize_);
        if (!offset || *offset < quint64(kHeader) || *offset >= end_)
            return std::nullopt;
        return offset;
    }

    int typeAt(quint64 offset) const { return quint8(data_[qsizetype(offset)]) >> 4; }

    // Room for `count` items of `width` bytes at `at`, before `bound`.
    static bool fits(quint64 at, quint64 count, quint64 width, quint64 bound) {
        return at <= bound && count <= (bound - at) / width;
    }

    // The low nibble of the marker at `offset`, or the integer object after
    // it when the nibble is 0xF; `contentStart` is set past what was read.
    std::optional<quint64> entryCount(quint64 offset, quint64& contentStart) const {
        const quint8 marker = quint8(data_[qsizetype(offset)]);
        contentStart = offset + 1;
        if ((marker & 0x0F) != 0x0F)
            return marker & 0x0F;
        if (contentStart >= end_)
            return std::nullopt;
        const std::optional<quint64> intMarker = number(contentStart, 1);
        if (!intMarker || (*intMarker >> 4) != 1 || (*intMarker & 0x0F) > 3)
            return std::nullopt;
        const int width = 1 << (*intMarker & 0x0F);
        const std::optional<quint64> value = number(contentStart + 1, width);
        contentStart += 1 + quint64(width);
        return value;
    }

    // `count` object references at `at`, before `bound`.
    std::optional<QList<quint64>> references(quint64 at, quint64 count, quint64 bound) const {
        if (!fits(at, count, quint64(referenceSize_), bound))
            return std::nullopt;
        QList<quint64> result;
        result.reserve(qsizetype(count));
        for (quint64 i = 0; i < count; ++i) {
            const auto reference = number(at + i * quint64(referenceSize_), referenceSize_);
            if (!reference || *reference >= count_)
                return std::nullopt;
            result.append(*reference);
        }
        return result;
    }

    bool dictionaryKeyMayHoldNul(quint64 offset) const {
        quint64 at = 0;
        const std::optional<quint64> entries = entryCount(offset, at);
        if (!entries)
            return true;
        const std::optional<QList<quint64>> keys = references(at, *entries, end_);
        return !keys || std::any_of(keys->cbegin(), keys->cend(), [this](quint64 key) {
            const std::optional<quint64> keyOffset = offsetOf(key);
            return !keyOffset || stringMayHoldNul(*keyOffset);
        });
    }

    // A key that is not a string is left to libplist, which refuses it.
    bool stringMayHoldNul(quint64 offset) const {
        const int type = typeAt(offset);
        if (type != kAsciiString && type != kUtf16String)
            return false;
        const quint64 unit = type == kAsciiString ? 1 : 2;
        quint64 start = 0;
        const std::optional<quint64> length = entryCount(offset, start);
        if (!length || !fits(start, *length, unit, end_))
            return true;
        for (quint64 k = 0; k < *length; ++k) {
            const qsizetype at = qsizetype(start + k * unit);
            if (data_[at] == 0 && (unit == 1 || data_[at + 1] == 0))
                return true;
        }
        return false;
    }

    // A big-endian unsigned number of `width` bytes at `at`.
    std::optional<quint64> number(quint64 at, int width) const {
        if (at > quint64(data_.size()) || quint64(width) > quint64(data_.size()) - at)
            return std::nullopt;
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | quint8(data_[qsizetype(at) + i]);
        return value;
    }

    QByteArrayView data_;
    quint64 end_ = 0; // where the trailer starts
    int offsetSize_ = 0;
    int referenceSize_ = 0;
    quint64 count_ = 0;
    quint64 root_ = 0;
    quint64 table_ = 0;
    bool valid_ = false;
};

// Height (container levels from an object down) and expanded node count of
// an object, as libplist would build it.
struct Measure {
    int height = 0;
    quint64 nodes = 1;
};

// Depth-first walk with an explicit stack of the containers on the current
// path. Each finished object's measure is kept, so objects shared by several
// parents are walked once however often libplist would copy them.
class BinaryWalk {
public:
    BinaryWalk(const BinaryTable& table, const ParseLimits& limits)
        : table_(table), limits_(limits) {}

    bool run() {
        if (!enter(table_.root()))
            return false;
        while (!path_.empty()) {
            Frame& frame = path_.back();
            if (frame.next == frame.children.size()) {
                if (!finish())
                    return false;
                continue;
            }
            const quint64 child = frame.children[frame.next++];
            if (onPath_.contains(child))
                return false; // refers to itself
            const auto known = measured_.constFind(child);
            if (!(known != measured_.cend() ? addToParent(*known) : enter(child)))
                return false;
        }
        return true;
    }

private:
    struct Frame {
        quint64 index;
        QList<quint64> children;
        qsizetype next = 0;
        Measure sum; // height of the tallest child so far; nodes so far
    };

    // A leaf is measured at once; a container goes on the path.
    bool enter(quint64 index) {
        std::optional<BinaryTable::Object> object = table_.object(index);
        if (!object)
            return false;
        if (!object->isContainer) {
            measured_.insert(index, Measure{});
            return addToParent(Measure{});
        }
        if (qsizetype(path_.size()) >= limits_.depth)
            return false;
        onPath_.insert(index);
        path_.push_back(Frame{index, std::move(object->children), 0, Measure{}});
        return true;
    }

    bool finish() {
        Frame frame = std::move(path_.back());
        path_.pop_back();
        onPath_.remove(frame.index);
        const Measure own{frame.sum.height + 1, frame.sum.nodes};
        measured_.insert(frame.index, own);
        return addToParent(own);
    }

    bool addToParent(const Measure& child) {
        if (path_.empty())
            return true;
        Measure& sum = path_.back().sum;
        sum.height = std::max(sum.height, child.height);
        sum.nodes += child.nodes;
        return qsizetype(path_.size()) + child.height <= limits_.depth &&
               sum.nodes <= limits_.nodes;
    }

    const BinaryTable& table_;
    const ParseLimits& limits_;
    std::vector<Frame> path_;
    QSet<quint64> onPath_;
    QHash<quint64, Measure> measured_;
};

} // namespace

bool isSafeToParse(QByteArrayView data, const ParseLimits& limits) {
    if (!data.startsWith("bplist"))
        return xmlWithinLimits(data, limits);
    const BinaryTable table(data);
    return table.isValid() && BinaryWalk(table, limits).run() && !table.keyMayHoldNul();
}

} // namespace moss::plist
