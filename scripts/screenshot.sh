#!/usr/bin/env bash
# Makes docs/screenshot.png: the Pellmar window with an emulated printer selected, after a
# finished transfer, drawn on a virtual display (Xvfb).
# Usage: scripts/screenshot.sh [BUILD_DIR]   (default: build; it must be built already)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source scripts/printer-session.sh

work=$(mktemp -d)
trap 'stop_emulator; rm -rf "$work"' EXIT
head -c 20480 /dev/urandom >"$work/printer-update.fla"
run_unattended "$build" "$work/printer-update.fla" "$work/screenshot.png" "$work/received.bin"
# Only the picture of a transfer that arrived whole replaces the one in docs/.
cmp "$work/printer-update.fla" "$work/received.bin"
mkdir -p docs
cp "$work/screenshot.png" docs/screenshot.png
echo "Saved docs/screenshot.png"
