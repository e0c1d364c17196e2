#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, when
# any is missing. Safe to run again: it does nothing when all are present.
#
#     tools/install-deps.sh            what building and testing need
#     tools/install-deps.sh test       what `make test` needs besides
#     tools/install-deps.sh ui-check   what `make ui-check` needs besides
set -euo pipefail

# clang and its runtime build the libFuzzer targets (make fuzz, CI). dpkg-dev
# and file let CPack work out the package's library dependencies; appstreamcli
# and desktop-file-validate check the installed metadata (make package-check,
# CI).
packages=(
    cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-declarative-dev qt6-svg-dev libplist-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
    qml6-module-qtquick-window qml6-module-qtquick-shapes qml6-module-qtquick-templates
    qml6-module-qtquick-dialogs qml6-module-qtqml-models qml6-module-qtqml-workerscript
    qml6-module-qt-labs-platform qml6-module-qttest
    qt6-image-formats-plugins qt6-translations-l10n fonts-inter fonts-dejavu-core fonts-material-design-icons-iconfont
    adwaita-icon-theme
    dpkg-dev file appstream desktop-file-utils
)

# `make test` only: the flatpak tool, for the test that installs a tiny
# application from a local repository into a sandboxed user installation and
# removes it again (it skips where flatpak is missing).
if [[ "${1:-}" == test ]]; then
    packages=(flatpak)
fi

# `make ui-check` only: a virtual X server, a window manager, a session bus,
# the accessibility bus and Python's bindings to it and to the X server.
if [[ "${1:-}" == ui-check ]]; then
    packages=(
        xvfb openbox dbus dbus-x11 at-spi2-core
        python3 python3-gi gir1.2-atspi-2.0 python3-pyatspi python3-xlib
    )
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
