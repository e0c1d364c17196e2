#!/bin/sh
# Builds a tiny Flatpak application, and a hand-made runtime that is both its
# runtime and its SDK, into a local repository below FOLDER; adds that
# repository to the user installation as the remote "mossbin-test" and
# installs the application from it. Nothing is fetched from the network and
# the application is never run.
#
#     tests/support/install-flatpak-app.sh FOLDER
#
# The user installation is the one the environment names: HOME,
# XDG_DATA_HOME, XDG_CACHE_HOME, XDG_CONFIG_HOME and FLATPAK_SYSTEM_DIR must
# all lie below FOLDER (a test's sandbox), so that the machine's own
# installations are never touched.
set -eu

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 FOLDER" >&2
    exit 2
fi
folder=$(cd "$1" && pwd -P)
below() {
    case "$2" in
    "$folder"/*) ;;
    *)
        echo "$0: $1 must lie below $folder" >&2
        exit 2
        ;;
    esac
}
below HOME "${HOME:-}"
below XDG_DATA_HOME "${XDG_DATA_HOME:-}"
below XDG_CACHE_HOME "${XDG_CACHE_HOME:-}"
below XDG_CONFIG_HOME "${XDG_CONFIG_HOME:-}"
below FLATPAK_SYSTEM_DIR "${FLATPAK_SYSTEM_DIR:-}"
export FLATPAK_USER_DIR="$XDG_DATA_HOME/flatpak"

app=org.mossbin.Test.App
platform=org.mossbin.Test.Platform
branch=stable
arch=$(flatpak --default-arch)
build=$(mktemp -d "$folder/flatpak-build.XXXXXX")
repo="$build/repo"

# The runtime: its metadata and a files tree with one file in it.
mkdir -p "$build/platform/files/share"
echo "Mossbin's test runtime" >"$build/platform/files/share/README"
cat >"$build/platform/metadata" <<EOF
[Runtime]
name=$platform
runtime=$platform/$arch/$branch
sdk=$platform/$arch/$branch
EOF
flatpak build-export --runtime --files=files "$repo" "$build/platform" "$branch" >/dev/null
flatpak --user remote-add --no-gpg-verify mossbin-test "file://$repo"
# build-init looks the SDK up among the installed runtimes.
flatpak --user install --noninteractive mossbin-test "runtime/$platform/$arch/$branch" >/dev/null

# The application: a program, its desktop entry and its icon.
flatpak build-init "$build/app" "$app" "$platform" "$platform" "$branch"
files="$build/app/files"
mkdir -p "$files/bin" "$files/share/applications" "$files/share/icons/hicolor/scalable/apps"
printf '#!/bin/sh\necho "Mossbin test"\n' >"$files/bin/mossbin-test-app"
chmod 755 "$files/bin/mossbin-test-app"
cat >"$files/share/applications/$app.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Mossbin Test
Exec=mossbin-test-app
Icon=$app
EOF
cat >"$files/share/icons/hicolor/scalable/apps/$app.svg" <<EOF
<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"><rect width="16" height="16"/></svg>
EOF
flatpak build-finish --command=mossbin-test-app "$build/app" >/dev/null
flatpak build-export "$repo" "$build/app" "$branch" >/dev/null
flatpak --user install --noninteractive mossbin-test "app/$app/$arch/$branch" >/dev/null
