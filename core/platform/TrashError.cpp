#include "platform/TrashError.h"

#include <cerrno>
#include <string>

namespace moss::trash {

namespace {

using namespace Qt::StringLiterals;

class Category final : public std::error_category {
public:
    const char* name() const noexcept override { return "moss.trash"; }
    std::string message(int value) const override {
        switch (Error(value)) {
        case Error::trashUnavailable:
            return "the home Trash cannot be used";
        case Error::isTheTrash:
            return "the item is the Trash";
        case Error::insideTheTrash:
            return "the item lies inside the Trash";
        case Error::containsTheTrash:
            return "the Trash lies inside the item";
        case Error::foreignInStickyFolder:
            return "another user's entry in a sticky folder";
        case Error::immutable:
            return "an entry is immutable or append-only";
        case Error::mountPoint:
            return "the item is a mount point";
        case Error::mountPointInside:
            return "a file system is mounted inside the item";
        case Error::specialFile:
            return "a socket or device cannot be copied";
        case Error::attributesNotCopied:
            return "extended attributes could not be copied";
        case Error::changedWhileMoving:
            return "an entry changed while it was moved";
        case Error::unknown:
            break;
        }
        return "unknown cause";
    }
};

QString errnoText(int value) {
    switch (value) {
    case EACCES:
    case EPERM:
        return u"нет прав"_s;
    case EROFS:
        return u"диск только для чтения"_s;
    case ENOSPC:
    case EDQUOT:
        return u"нет места на диске"_s;
    case ENOENT:
        return u"файл не найден"_s;
    case EEXIST:
    case ENOTEMPTY:
        return u"место занято"_s;
    case EBUSY:
        return u"файл занят"_s;
    case ENAMETOOLONG:
        return u"слишком длинное имя"_s;
    case EIO:
        return u"ошибка чтения или записи"_s;
    default:
        return u"системная ошибка"_s;
    }
}

} // namespace

const std::error_category& errorCategory() {
    static const Category category;
    return category;
}

std::error_code make_error_code(Error error) {
    return {int(error), errorCategory()};
}

QString reasonText(std::error_code error) {
    if (!error)
        return {};
    if (error.category() != errorCategory())
        return errnoText(error.default_error_condition().category() == std::generic_category()
                             ? error.default_error_condition().value()
                             : -1);
    switch (Error(error.value())) {
    case Error::trashUnavailable:
        return u"Корзина недоступна"_s;
    case Error::isTheTrash:
        return u"это сама Корзина"_s;
    case Error::insideTheTrash:
        return u"уже в Корзине"_s;
    case Error::containsTheTrash:
        return u"внутри Корзина"_s;
    case Error::foreignInStickyFolder:
        return u"чужой файл в общей папке"_s;
    case Error::immutable:
        return u"файл защищён от изменений"_s;
    case Error::mountPoint:
        return u"это точка монтирования"_s;
    case Error::mountPointInside:
        return u"внутри точка монтирования"_s;
    case Error::specialFile:
        return u"сокет или устройство"_s;
    case Error::attributesNotCopied:
        return u"атрибуты не копируются"_s;
    case Error::changedWhileMoving:
        return u"изменён во время переноса"_s;
    case Error::unknown:
        break;
    }
    return u"причина неизвестна"_s;
}

} // namespace moss::trash
