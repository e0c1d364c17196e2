#pragma once

// The alerts that the store raises, with their texts. The window shows the
// store's alert until the user closes it.

#include "Remover.h"

#include <QString>
#include <QUuid>
#include <functional>

namespace moss {

struct AlertInfo {
    QUuid id = QUuid::createUuid();
    QString title;
    QString message;
    std::function<void()> removeAnyway; // empty for informative alerts
};

namespace Alerts {

// The dropped or chosen item at `path` is not a bundle.
AlertInfo notABundle(const QString& path);
// The bundle is part of the system and cannot be removed.
AlertInfo systemComponent();
// The bundle is on the user's protected list; "Удалить всё равно" runs
// `removeAnyway`.
AlertInfo userProtected(const QString& displayName, std::function<void()> removeAnyway);
// Some files could not be moved to the Trash: the first six of their paths
// in plain string order, each with its cause, and a word on the items that
// were only partly moved (the rest of them is in the Trash, and undo puts
// them back together).
AlertInfo removalFailed(const RemovalResult& result);

} // namespace Alerts

} // namespace moss
