#!/usr/bin/env bash
# Builds Pellmar and runs it against an emulated printer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
echo "Built. The desktop application and the command-line tool are not ready yet."
