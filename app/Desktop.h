#pragma once

// What the window asks of the desktop, as the QML singleton Desktop: the
// logo, revealing an item in the file browser, and the clipboard. It holds no state; QML
// makes one per engine.

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace moss::ui {

class Desktop : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The image URL of the logo; empty when there is none (BrandLogo.h).
    Q_PROPERTY(QString brandLogo READ brandLogo CONSTANT)

public:
    using QObject::QObject;

    QString brandLogo() const;

    // Shows the item selected in the file browser: the FileManager1 D-Bus
    // service, else the folder that holds it.
    Q_INVOKABLE void reveal(const QString& path) const;
    // Puts the text on the clipboard (and the selection, where there is one).
    Q_INVOKABLE void copyText(const QString& text) const;
};

} // namespace moss::ui
