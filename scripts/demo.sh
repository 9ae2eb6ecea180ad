#!/usr/bin/env bash
# Builds the kit and runs its demonstration: a session with a simulated controller on a
# pseudo-terminal, through the public API only. Needs no hardware.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/build.sh" "$here/build"
exec "$here/build/bin/vibroctl" demo "$here/tools/vibroctl/samples"
