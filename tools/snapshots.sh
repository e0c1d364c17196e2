#!/usr/bin/env bash
# Regenerates the README's screenshots, docs/drop.png, docs/list.png and
# docs/sheet.png, from a fresh demo home, without a display.
#
#     tools/snapshots.sh [BUILD]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd -P)
build=$(cd "${1:-$root/build}" && pwd -P)
cmake --build "$build" --target mossbin make-demo-home >/dev/null

# A fixed place, so that every run sees the same paths.
work="$build/snapshot-home"
rm -rf -- "$work"
mkdir -p "$work/runtime"
chmod 700 "$work/runtime"
"$build/make-demo-home" "$work/home"

source "$root/tools/common/use-home.sh"
use_home "$work/home"
export XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen
export QML_DISABLE_DISK_CACHE=1
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$root/docs"
cd "$HOME"
"$build/mossbin" --snapshot drop "$root/docs/drop.png"
"$build/mossbin" --snapshot list "$root/docs/list.png"
"$build/mossbin" --snapshot "Applications/Quillstone.app" "$root/docs/sheet.png"
rm -rf -- "$work"
