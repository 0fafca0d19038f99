# Sourced by the test and demo commands: starts an Xvfb display and a
# persistent wineserver for the build's prefix, and stops both (by the process
# ids started here) when the calling script exits.
# Needs: BUILD (build folder holding wine-run.sh).

rv_session_pids=()
rv_stop_session() {
    if [ -n "${WINEPREFIX:-}" ]; then
        for p in "$WINEPREFIX" "$WINEPREFIX-en" "$WINEPREFIX-zh"; do
            [ -d "$p" ] && { WINEPREFIX="$p" wineserver -k 2>/dev/null || true; }
        done
    fi
    for pid in "${rv_session_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${rv_session_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap rv_stop_session EXIT

# Xvfb picks a free display itself and tells its number, so parallel runs
# never race for one. With RV_KEEP_DISPLAY=1 the caller's own display is
# used instead, for a person to watch and click.
if [ -n "${RV_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
    :
else
    rv_dfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$rv_dfile" >/dev/null 2>&1 &
    rv_session_pids+=($!)
    for _ in $(seq 100); do [ -s "$rv_dfile" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$rv_dfile" | tr -d '[:space:]')"
    rm -f "$rv_dfile"
fi

export WINEARCH=win32 WINEDEBUG=-all
export WINEPREFIX="${RV_WINEPREFIX:-$(cd "$BUILD" && pwd)/wineprefix}"
export RV_WINEPREFIX="$WINEPREFIX"
"$BUILD/wine-run.sh" --init
LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 wineserver -f -p >/dev/null 2>&1 &
rv_session_pids+=($!)
# Start Wine's own background processes now, with their output detached:
# started later by a test, they would inherit ctest's output pipe and keep it
# open after the test ended.
"$BUILD/wine-run.sh" wineboot </dev/null >/dev/null 2>&1 || true
