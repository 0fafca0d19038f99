# Sourced by the test and demo commands: starts an Xvfb display and a
# persistent wineserver for the build's prefix, and stops both (by the process
# ids started here) when the calling script exits.
# Needs: BUILD (build folder holding wine-run.sh).

rv_session_pids=()
rv_stop_session() {
    if [ -n "${WINEPREFIX:-}" ]; then WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true; fi
    for pid in "${rv_session_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${rv_session_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap rv_stop_session EXIT

n=91
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
rv_session_pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

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
