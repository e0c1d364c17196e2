#pragma once

// Why an item could not go to the Trash or come back: the causes of our own
// below, or the errno value that the system gave (generic category).

#include <QString>
#include <system_error>

namespace moss::trash {

enum class Error {
    trashUnavailable = 1,  // the home Trash cannot be used at all
    isTheTrash,            // the item is the Trash folder itself
    insideTheTrash,        // the item lies inside the Trash
    containsTheTrash,      // the Trash lies inside the item
    foreignInStickyFolder, // an entry of a sticky folder that another user owns
    immutable,             // an entry marked immutable or append-only
    mountPoint,            // the item is a mount point
    mountPointInside,      // another file system is mounted inside the item
    specialFile,           // a socket or a device, which cannot be copied
    attributesNotCopied,   // extended attributes (ACLs too) the copy could not take
    changedWhileMoving,    // an entry changed, appeared or was replaced while moving
    unknown,               // no cause was given
};

const std::error_category& errorCategory();
std::error_code make_error_code(Error error);

// A short Russian phrase for a cause, to show after the item's path: "нет
// прав", "внутри Корзина", … Empty for no error.
QString reasonText(std::error_code error);

// The outcome of an operation that has no other result: success, or why not.
struct Status {
    std::error_code error;
    explicit operator bool() const { return !error; }
};

} // namespace moss::trash

template <> struct std::is_error_code_enum<moss::trash::Error> : std::true_type {};
