# shellcheck shell=bash source-path=SCRIPTDIR
# Sourced by the tools that run the real window on a made-up desktop.
#
#     start_demo_desktop BUILD NAME LOG
#
# makes a scratch folder (removed on exit, with every process whose id is
# added to `pids`), lays out a fresh demo home in it and points HOME, TMPDIR
# and the XDG folders there (use-home.sh), with a private runtime folder,
# and starts a virtual X server on a display number nobody uses, its output
# going to LOG. Sets `work` (the scratch folder) and DISPLAY.
source "$(dirname "${BASH_SOURCE[0]}")/use-home.sh"

pids=()
stop_demo_desktop() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf -- "$work"
}

start_demo_desktop() {
    local build=$1 name=$2 log=$3
    work=$(mktemp -d "${TMPDIR:-/tmp}/mossbin-$name.XXXXXX")
    trap stop_demo_desktop EXIT
    mkdir -p "$work/runtime"
    chmod 700 "$work/runtime"
    "$build/make-demo-home" "$work/home" >/dev/null
    export XDG_RUNTIME_DIR="$work/runtime"

    local number=90
    while [[ -e /tmp/.X11-unix/X$number || -e /tmp/.X$number-lock ]]; do number=$((number + 1)); done
    Xvfb ":$number" -screen 0 1280x900x24 -nolisten tcp >"$log" 2>&1 &
    pids+=($!)
    export DISPLAY=":$number"
    for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$number ]] && break; sleep 0.1; done
    unset WAYLAND_DISPLAY XAUTHORITY

    use_home "$work/home"
    mkdir -p "$TMPDIR"
    export QML_DISABLE_DISK_CACHE=1
}
