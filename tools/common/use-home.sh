# Sourced by the tools that run Mossbin on a made-up home.
#
#     use_home DIR
#
# points HOME, TMPDIR and the XDG base folders (all but XDG_RUNTIME_DIR,
# which holds the display's and the session bus's sockets) into DIR, so that
# nothing of the running user's is read or moved.
use_home() {
    export HOME="$1"
    export TMPDIR="$1/.tmp"
    export XDG_CACHE_HOME="$1/.cache"
    export XDG_DATA_HOME="$1/.local/share"
    export XDG_CONFIG_HOME="$1/.config"
    export XDG_STATE_HOME="$1/.local/state"
}
