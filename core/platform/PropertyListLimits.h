#pragma once

// libplist 2.2 parses and frees nested arrays and dictionaries recursively,
// and copies a binary property list's shared objects once per reference. So
// a few hundred kilobytes of nesting overflow the stack, and a few hundred
// bytes of objects that each refer twice to the next expand into billions of
// nodes. This check runs over the raw bytes first, without recursion, and
// refuses such input before libplist sees it.

#include <QByteArrayView>
#include <QtGlobal>

namespace moss::plist {

struct ParseLimits {
    // Levels of arrays, sets and dictionaries; the root container is level 1.
    int depth = 0;
    // Values of the fully expanded tree (keys, containers and leaves).
    quint64 nodes = 0;
};

// True when the property list stays within the limits. XML text is scanned
// for its tags; a binary property list ("bplist") has its object graph walked
// from the root, and one whose offsets or references do not add up, or that
// refers to itself, is refused as well. So is a binary list with a dictionary
// key that holds a NUL character, on which libplist aborts the process.
bool isSafeToParse(QByteArrayView data, const ParseLimits& limits);

} // namespace moss::plist
