#!/usr/bin/env bash
# Measures what the drop screen costs a core while its ring turns (the first
# seconds) and once the window has been left alone (after the idle pause):
# the real window on a fresh demo home, drawn in software under a virtual X
# server with a window manager, the pointer left where the server put it.
# CPU time is read from /proc/PID/stat. Needs what `make ui-check` needs.
#
#     tools/idle-cost.sh [BUILD]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd -P)
build=$(cd "${1:-$root/build}" && pwd -P)
cmake --build "$build" --target mossbin make-demo-home >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/mossbin-idle.XXXXXX")
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
source "$root/tools/common/use-home.sh"
use_home "$work/home"
mkdir -p "$TMPDIR"
export QML_DISABLE_DISK_CACHE=1 QT_QUICK_BACKEND=software

number=90
while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do number=$((number + 1)); done
Xvfb ":$number" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$number"
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$number ]] && break; sleep 0.1; done
unset WAYLAND_DISPLAY XAUTHORITY
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 1
"$build/mossbin" >/dev/null 2>&1 &
pid=$!
pids+=("$pid")

hz=$(getconf CLK_TCK)
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
percent() { awk -v t="$1" -v s="$2" -v hz="$hz" 'BEGIN { printf "%.1f", t * 100 / hz / s }'; }
sleep 1
start=$(ticks)
sleep 3
turning=$(($(ticks) - start))
sleep 4
start=$(ticks)
sleep 20
idle=$(($(ticks) - start))
echo "ring turning (1-4 s): $(percent "$turning" 3) % of a core"
echo "idle (8-28 s): $(percent "$idle" 20) % of a core"
