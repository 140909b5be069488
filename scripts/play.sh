#!/usr/bin/env bash
# Installs what is missing, builds the optimised game and its data set in
# build/, and starts the game on the default track. Extra arguments go to
# the game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKESTRUM_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/game/kestrum "$@"
