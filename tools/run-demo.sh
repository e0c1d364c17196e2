#!/usr/bin/env bash
# Lays out a fresh demo home under the build folder and runs Mossbin against
# it: the window when a display is available, otherwise the --scan report of
# the demo's main application. Nothing outside the demo home is touched.
set -euo pipefail

build=$(cd "${1:-build}" && pwd -P)
home="$build/demo-home"

rm -rf -- "$home"
"$build/make-demo-home" "$home"

# The X server's cookie stays where it is when HOME moves.
if [[ -n "${DISPLAY:-}" ]]; then
    export XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}"
fi
source "$(dirname "$0")/common/use-home.sh"
use_home "$home"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Demo home: $home"
    exec "$build/mossbin"
fi

echo "No display: the --scan report of a demo application (demo home: $home)"
echo
cd "$home"
exec "$build/mossbin" --scan "Applications/Quillstone.app"
