# Sourced by the tools that run Mossbin on a made-up home.
#
#     use_home DIR
#
# points HOME, TMPDIR and the XDG base folders (all but XDG_RUNTIME_DIR,
# which holds the display's and the session bus's sockets) into DIR, so that
# nothing of the running user's is read or moved; and the system side of the
# demo's Linux applications (tools/make-demo-home) into DIR/.demo-system:
# the data folders first (the system's own follow, for its icon themes and
# MIME types), dpkg's database and the system Flatpak installation.
use_home() {
    export HOME="$1"
    export TMPDIR="$1/.tmp"
    export XDG_CACHE_HOME="$1/.cache"
    export XDG_DATA_HOME="$1/.local/share"
    export XDG_CONFIG_HOME="$1/.config"
    export XDG_STATE_HOME="$1/.local/state"
    local system="$1/.demo-system"
    export XDG_DATA_DIRS="$system/usr/local/share:$system/usr/share:$system/flatpak/exports/share:$system/snapd/desktop:/usr/local/share:/usr/share"
    export DPKG_ADMINDIR="$system/dpkg"
    export FLATPAK_SYSTEM_DIR="$system/flatpak"
}
