#!/usr/bin/env bash
# Builds the library, the simulated controller and kestrelctl, then runs the
# main job: kestrelctl info against the simulated default controller.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target kestrel-sim kestrel_sim kestrelctl
"$build/sim/launcher/kestrel-sim" --profile sim/profiles/default.json -- "$build/tools/kestrelctl" info "$@"
