#!/usr/bin/env bash
# Configures and builds one build tree. Usage: build.sh DIR [extra cmake arguments...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
shift
bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
