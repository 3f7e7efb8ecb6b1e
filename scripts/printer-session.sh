# Shared by demo.sh and screenshot.sh (sourced, not run): starts an emulated printer and runs
# Pellmar against it unattended under a virtual display.
#   run_unattended BUILD_DIR FILE PNG RECORD
# sends FILE to the emulated printer, saves a picture of the window to PNG and leaves the bytes
# the printer received in RECORD. Uses the printer emulator (pellmar-printer-emu) when it is built,
# otherwise the application with a pseudo-terminal stand-in printer (pellmar-standin).

find_program_in() {  # find_program_in BUILD_DIR NAME
    find "$1" -type f -name "$2" -perm -u+x 2>/dev/null | head -n 1
}

# Runs a command on the display there is, or under Xvfb when there is none.
on_display() {
    if [[ -n "${DISPLAY:-}" && -z "${PELLMAR_FORCE_XVFB:-}" ]]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1024x768x24" "$@"
    fi
}

# Starts the emulator: sets EMU_PID and EMU_LINK (the device path).
start_emulator() {  # start_emulator EMU RECORD WORKDIR
    EMU_LINK="$3/emulated-printer"
    "$1" --link "$EMU_LINK" --text1 "EMULATED" --text3 "PRINTER" --record "$2" >"$3/emu.log" 2>&1 &
    EMU_PID=$!
    for _ in $(seq 100); do
        [[ -e "$EMU_LINK" ]] && return 0
        kill -0 "$EMU_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "The printer emulator did not start; its output:" >&2
    cat "$3/emu.log" >&2
    return 1
}

stop_emulator() {
    if [[ -n "${EMU_PID:-}" ]]; then
        kill -TERM "$EMU_PID" 2>/dev/null || true
        wait "$EMU_PID" 2>/dev/null || true
        EMU_PID=""
    fi
}

run_unattended() {  # run_unattended BUILD_DIR FILE PNG RECORD
    local build file png record emu pellmar standin work rc=0
    # Absolute paths, as the application runs in the file's folder and is given the bare name.
    build=$(realpath "$1") file=$(realpath "$2") png=$(realpath -m "$3") record=$(realpath -m "$4")
    local folder name
    folder=$(dirname "$file") name=$(basename "$file")
    emu=$(find_program_in "$build" pellmar-printer-emu)
    pellmar=$(find_program_in "$build" pellmar)
    if [[ -n "$emu" && -n "$pellmar" ]]; then
        work=$(dirname "$record")
        echo "Emulated printer: $emu (recording to $record)"
        start_emulator "$emu" "$record" "$work" || return 1
        (cd "$folder" && PELLMAR_FORCE_XVFB=1 on_display "$pellmar" --device "$EMU_LINK" \
            --auto-flash "$name" --screenshot "$png") || rc=$?
        stop_emulator
        return $rc
    fi
    standin=$(find_program_in "$build" pellmar-standin)
    if [[ -z "$standin" ]]; then
        echo "Neither pellmar-printer-emu nor pellmar-standin is built in $build." >&2
        return 1
    fi
    echo "The printer emulator is not built: using a pseudo-terminal stand-in printer."
    (cd "$folder" && PELLMAR_FORCE_XVFB=1 on_display "$standin" "$name" "$png" "$record")
}
