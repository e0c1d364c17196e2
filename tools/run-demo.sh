#!/usr/bin/env bash
# Builds a demo home under the build folder and runs Mossbin against it.
set -euo pipefail
build=${1:-build}
echo "The demo home is not built yet."
"$build/mossbin" --scan /nonexistent || true
