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
source "$root/tools/common/demo-desktop.sh"
start_demo_desktop "$build" ui-check "$shots/xvfb.log"

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
