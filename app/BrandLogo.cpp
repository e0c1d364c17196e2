#include "BrandLogo.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QUrl>

namespace moss::ui {

namespace {

bool decodes(const QString& file) {
    return QImageReader(file).canRead();
}

QString findBrandLogo() {
    const QString resource = QStringLiteral(":/Mossbin/Logo.png");
    if (QFile::exists(resource))
        return decodes(resource) ? QStringLiteral("qrc") + resource : QString();
    const QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        return {};
    const QString beside = dir + QStringLiteral("/Mossbin_Mossbin.bundle/Logo.png");
    if (QFile::exists(beside) && decodes(beside))
        return QUrl::fromLocalFile(beside).toString();
    return {};
}

} // namespace

QString brandLogo() {
    static const QString logo = findBrandLogo();
    return logo;
}

} // namespace moss::ui
