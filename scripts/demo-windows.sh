#!/usr/bin/env bash
# Shows the Windows build at work under Wine: two emulated printers on named pipes, found by
# pellmar-cli.exe through PELLMAR_DEVICES (';'-separated), and a flash file sent to one of them and
# compared with what the emulator recorded. Usage: scripts/demo-windows.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
if [[ ! -x $build/cli/pellmar-cli.exe || ! -x $build/tools/pellmar-printer-emu.exe ]]; then
    echo "Build the Windows targets first: scripts/test-windows.sh $build" >&2
    exit 2
fi
export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/pellmar-wine.XXXXXX")
export WINEPREFIX
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
work=$(mktemp -d "${TMPDIR:-/tmp}/pellmar-demo.XXXXXX")
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
wineserver -p >/dev/null 2>&1 </dev/null
"$wine64" wineboot --init >/dev/null 2>&1 </dev/null

"$wine64" "$build/tools/pellmar-printer-emu.exe" --text1 Acme --text3 "Laser 9" \
    --record "Z:${work//\//\\}\\recorded.bin" >"$work/emu1" 2>/dev/null </dev/null &
"$wine64" "$build/tools/pellmar-printer-emu.exe" --text1 Beta --text3 Jet \
    >"$work/emu2" 2>/dev/null </dev/null &
for _ in $(seq 100); do
    [[ -s $work/emu1 && -s $work/emu2 ]] && break
    sleep 0.1
done
first=$(head -1 "$work/emu1" | tr -d '\r')
second=$(head -1 "$work/emu2" | tr -d '\r')
head -c 300000 /dev/urandom >"$work/update.fla"

echo "\$ PELLMAR_DEVICES='$first;$second' pellmar-cli.exe list"
PELLMAR_DEVICES="$first;$second" "$wine64" "$build/cli/pellmar-cli.exe" list
echo "\$ pellmar-cli.exe flash update.fla --device $first --printer 'Acme Laser 9'"
"$wine64" "$build/cli/pellmar-cli.exe" flash "Z:${work//\//\\}\\update.fla" --device "$first" \
    --printer "Acme Laser 9" 2>/dev/null
sleep 0.5
if cmp -s "$work/update.fla" "$work/recorded.bin"; then
    echo "The emulated printer recorded the whole file, byte for byte."
else
    echo "The recorded bytes differ from the file." >&2
    exit 1
fi
