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

source "$root/tools/common/demo-desktop.sh"
start_demo_desktop "$build" idle /dev/null
export QT_QUICK_BACKEND=software
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
