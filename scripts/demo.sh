#!/usr/bin/env bash
# Builds Pellmar and runs it with one emulated printer attached, so the whole flashing flow can
# be tried without real hardware. With a display, the window opens for you to use; without one,
# the same flow runs unattended on a virtual display. Either way the script then checks that the
# file arrived whole at the emulated printer, and exits non-zero if it did not.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
source scripts/printer-session.sh

work=$(mktemp -d)
trap 'stop_emulator; rm -rf "$work"' EXIT
flash="$work/demo-update.fla"
record="$work/received-by-emulated-printer.bin"
head -c 65536 /dev/urandom >"$flash"
echo
echo "Demo flash file: $flash (65536 bytes)"

emu=$(find_program_in build pellmar-printer-emu)
if [[ -n "${DISPLAY:-}" && -n "$emu" ]]; then
    start_emulator "$emu" "$record" "$work"
    echo "Emulated printer: EMULATED PRINTER at $EMU_LINK (nothing real is flashed)."
    echo "In the window: type $flash into the file box (or use Browse Files),"
    echo "choose the printer, press START, and close the window when the transfer is done."
    build/app/pellmar --device "$EMU_LINK" || true
    stop_emulator
else
    if [[ -z "${DISPLAY:-}" ]]; then
        echo "No display (\$DISPLAY is not set): running the same flow unattended on a virtual display (Xvfb)."
    else
        echo "The printer emulator is not built: running the flow unattended with a stand-in printer."
    fi
    run_unattended build "$flash" build/demo-window.png "$record" ||
        echo "Pellmar reported a failure (see its messages above)." >&2
    [[ -f build/demo-window.png ]] &&
        echo "Picture of the window after the transfer: build/demo-window.png"
fi

if [[ -f "$record" ]] && cmp -s "$flash" "$record"; then
    echo "OK: the emulated printer received all $(stat -c %s "$record") bytes, identical to the file."
else
    got=$(stat -c %s "$record" 2>/dev/null || echo 0)
    echo "FAILED: the emulated printer received $got bytes that differ from the file." >&2
    exit 1
fi
