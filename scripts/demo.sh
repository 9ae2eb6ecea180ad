#!/usr/bin/env bash
# Builds the kit and runs its demonstration. Needs no hardware.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/build.sh" "$here/build"
exec "$here/build/bin/encode_examples"
