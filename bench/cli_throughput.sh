#!/usr/bin/env bash
# Throughput of a flash through pellmar-cli to the printer emulator, with the default pause after
# each chunk and with none, next to dd writing the same file to the same kind of device.
# Usage: bench/cli_throughput.sh [build-dir] [size-in-MiB]
set -euo pipefail
build=${1:-build}
mib=${2:-16}
cli=$build/cli/pellmar-cli
emu=$build/tools/pellmar-printer-emu
work=$(mktemp -d)
trap 'stop_emu; rm -rf "$work"' EXIT
head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/flash.fls"

emu_pid=
start_emu() {  # starts a fresh emulator; its device path goes into $dev
    "$emu" --text1 Bench --text3 Printer >"$work/emu.out" 2>/dev/null &
    emu_pid=$!
    for _ in $(seq 100); do [[ -s "$work/emu.out" ]] && break; sleep 0.05; done
    dev=$(head -n1 "$work/emu.out")
}
stop_emu() {
    kill "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
}

rate() {  # bytes seconds
    awk -v b="$1" -v s="$2" 'BEGIN { printf "%.1f MiB/s", b / s / 1048576 }'
}

bytes=$((mib * 1024 * 1024))
for pace in 12 0; do
    start_emu
    t0=$(date +%s.%N)
    "$cli" flash "$work/flash.fls" --device "$dev" --pace-ms "$pace" 2>/dev/null
    t1=$(date +%s.%N)
    stop_emu
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    echo "pellmar-cli flash --pace-ms $pace: ${mib} MiB in $s s ($(rate $bytes $s), whole run)"
done
start_emu
t0=$(date +%s.%N)
dd if="$work/flash.fls" of="$dev" bs=4096 status=none
t1=$(date +%s.%N)
s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
echo "dd bs=4096: ${mib} MiB in $s s ($(rate $bytes $s))"
stop_emu
