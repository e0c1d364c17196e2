#include "QmlModule.h"

#include "FileIconProvider.h"
#include "ShadowImageProvider.h"

#include <QFileInfo>
#include <QIcon>

// Generated with the module; it registers the module's C++ types when the
// module is first imported.
void qml_register_types_Mossbin();

namespace moss::ui {

namespace {

// Without a desktop session (offscreen, a bare X server) no icon theme is
// set; the freedesktop default theme then gives the file-type icons.
void chooseIconTheme() {
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != u"hicolor")
        return;
    for (const QString& path : QIcon::themeSearchPaths()) {
        if (QFileInfo::exists(path + QStringLiteral("/Adwaita/index.theme"))) {
            QIcon::setThemeName(QStringLiteral("Adwaita"));
            return;
        }
    }
}

} // namespace

void prepareEngine(QQmlEngine& engine) {
    // Nothing else refers to the registration of the module's C++ types,
    // which a static library would otherwise leave out of the executable.
    [[maybe_unused]] volatile auto keepRegistration = &qml_register_types_Mossbin;
    chooseIconTheme();
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.addImageProvider(QStringLiteral("fileicon"), new FileIconProvider);
    engine.addImageProvider(QStringLiteral("shadow"), new ShadowImageProvider);
}

QUrl moduleFile(const QString& typeName) {
    return QUrl(QStringLiteral("qrc:/Mossbin/%1.qml").arg(typeName));
}

} // namespace moss::ui
