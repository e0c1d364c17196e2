#!/usr/bin/env bash
# Tries the real window as a person would: under a virtual X server with a
# window manager and a session bus, on a fresh demo home, tools/ui-check.py
# tabs through the window, reads what screen readers get (AT-SPI), drags,
# zooms and resizes it, measures the idle drop screen, and saves
# screenshots to the folder it prints. Nothing of the running user's is read
# or changed. Exits 1 when a check failed.
#
#     tools/ui-check.sh [BUILD]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd -P)
build=$(cd "${1:-$root/build}" && pwd -P)
"$root/tools/install-deps.sh" ui-check
cmake --build "$build" --target mossbin make-demo-home >/dev/null

shots="$build/ui-check"
rm -rf -- "$shots"
mkdir -p "$shots"
work=$(mktemp -d "${TMPDIR:-/tmp}/mossbin-ui-check.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf -- "$work"
}
trap cleanup EXIT

mkdir -p "$work/runtime"
chmod 700 "$work/runtime"
"$build/make-demo-home" "$work/home" >/dev/null
export XDG_RUNTIME_DIR="$work/runtime"

# A display number nobody uses.
number=90
while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do number=$((number + 1)); done
Xvfb ":$number" -screen 0 1280x900x24 -nolisten tcp >"$shots/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$number"
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$number ]] && break; sleep 0.1; done
unset WAYLAND_DISPLAY XAUTHORITY

source "$root/tools/common/use-home.sh"
use_home "$work/home"
mkdir -p "$TMPDIR"
export QML_DISABLE_DISK_CACHE=1

# The window manager and the checks share one session bus, on which the
# accessibility bus starts when asked for.
status=0
dbus-run-session -- bash -c '
    openbox --sm-disable >"$1/openbox.log" 2>&1 &
    sleep 1
    /usr/bin/python3 "$2/tools/ui-check.py" "$3/mossbin" "$HOME" "$1"
    status=$?
    kill %1 2>/dev/null
    exit $status
' ui-check "$shots" "$root" "$build" || status=$?
echo "Screenshots: $shots"
exit $status
