# The Debian package, built by CPack from the install rules (`make package`).
#
# dpkg-shlibdeps finds the shared libraries the executable links (Qt, libplist,
# the C++ runtime). The window also needs, at run time, QML modules and fonts
# that no library dependency reveals; they are listed here by hand and must
# follow the imports in app/qml and the fonts named in app/Theme.h.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mossbin)
set(CPACK_PACKAGE_VENDOR "Mossbin")
set(CPACK_PACKAGE_CONTACT "Mossbin developers <mossbin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "removes applications together with what they left behind")
set(CPACK_PACKAGE_DESCRIPTION
    "Mossbin removes application, plug-in and widget bundles together with the
files they left behind: support data, containers, preferences, caches, logs,
saved state, launch agents, receipts and installers in Downloads. Everything
it removes goes to the freedesktop.org Trash, and the last removal can be
undone.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(qml_runtime
    qml6-module-qtquick
    qml6-module-qtquick-controls
    qml6-module-qtquick-layouts
    qml6-module-qtquick-shapes
    qml6-module-qtquick-templates
    qml6-module-qtquick-window
    qml6-module-qtqml-models
    qml6-module-qtqml-workerscript)
set(fonts fonts-inter fonts-material-design-icons-iconfont)
list(JOIN qml_runtime ", " qml_depends)
list(JOIN fonts ", " font_depends)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${qml_depends}, ${font_depends}")
# Bundle icons (.icns) and theme icons for file types, the Russian texts of
# Qt's own dialogs: the window works without them, with less to see.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-image-formats-plugins, libqt6svg6, qt6-translations-l10n, adwaita-icon-theme")

include(CPack)
