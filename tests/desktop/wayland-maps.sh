#!/usr/bin/env bash
# The window under a headless Wayland compositor (weston): it must map, a configured and
# committed surface, with the desktop ID as its app_id, so that the compositor finds its entry
# and icon. Read from the client's own protocol trace (WAYLAND_DEBUG=1).
#   wayland-maps.sh PROGRAM
# Exit 77 (skipped) when weston or Qt's Wayland plugin is missing.
set -uo pipefail
program=$1
app_id=org.esp8266wifi.Configurator
command -v weston >/dev/null || { echo "no weston"; exit 77; }
plugins=$(qtpaths6 --plugin-dir 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
ls "$plugins"/platforms/libqwayland* >/dev/null 2>&1 || { echo "no qt6-wayland"; exit 77; }

run=$(mktemp -d /tmp/esp-wayland-XXXXXX)
chmod 700 "$run"
weston_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$run"
}
trap cleanup EXIT

XDG_RUNTIME_DIR=$run weston --no-config --backend=headless-backend.so --shell=kiosk-shell.so \
  --socket=esp-wayland --idle-time=0 >"$run/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do [ -S "$run/esp-wayland" ] && break; sleep 0.1; done
[ -S "$run/esp-wayland" ] || { echo "weston did not start"; cat "$run/weston.log"; exit 1; }

mkdir -p "$run/ports" "$run/config"
env -u DISPLAY XDG_RUNTIME_DIR="$run" WAYLAND_DISPLAY=esp-wayland QT_QPA_PLATFORM=wayland \
  WAYLAND_DEBUG=1 ESP8266WIFI_PORTS="$run/ports" XDG_CONFIG_HOME="$run/config" \
  "$program" >"$run/trace" 2>&1 &
app_pid=$!

# The toplevel's app_id, then the compositor's configure, its acknowledgement and a buffer
# committed after it: the window is on the screen.
mapped() {
  awk -v id="set_app_id(\"$app_id\")" '
    index($0, "xdg_toplevel") && index($0, "set_app_id(") { named = index($0, id) > 0 }
    named && /xdg_surface@[0-9]+\.configure\(/ { configured = 1 }
    configured && /-> xdg_surface@[0-9]+\.ack_configure\(/ { acked = 1 }
    acked && /-> wl_surface@[0-9]+\.attach\(wl_buffer/ { attached = 1 }
    attached && /-> wl_surface@[0-9]+\.commit\(/ { found = 1 }
    END { exit found ? 0 : 1 }' "$run/trace"
}
for _ in $(seq 300); do
  mapped && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if mapped; then
  echo "mapped with app_id $app_id"
  exit 0
fi
echo "the window did not map with app_id $app_id; its trace:"
grep -E "set_app_id|configure|attach|commit|error" "$run/trace" | head -40
exit 1
