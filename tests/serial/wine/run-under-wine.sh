#!/usr/bin/env bash
# Runs the Windows serial test program under Wine against a pseudo-terminal linked as COM200.
#   run-under-wine.sh PEER EXE
# Exits 77 (skipped) when Wine or its virtual X server is missing. The Wine prefix lives in a
# temporary folder that is removed, with its wineserver, whatever happens.
set -euo pipefail
peer=$1
exe=$2
com=200

wine=${WINE64:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
for tool in "$wine" "$wineserver"; do
  if [ ! -x "$tool" ]; then
    echo "SKIP: $tool is missing (Debian package wine64)"
    exit 77
  fi
done
if ! command -v xvfb-run >/dev/null; then
  echo "SKIP: xvfb-run is missing (Debian package xvfb), needed to create the Wine prefix"
  exit 77
fi

prefix=$(mktemp -d /tmp/esp-wine-XXXXXX)
export WINEPREFIX=$prefix
# Without these the prefix creation waits for an installer dialog of Mono and Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT

start=$(date +%s.%N)
# Wine starts a wineserver that outlives wineboot; its output must not hold our pipes.
xvfb-run -a "$wine" wineboot -i >/dev/null 2>&1 </dev/null
"$wineserver" -w
# Our own server, its output discarded: Wine's device open makes the pty its controlling
# terminal, and the hang-up then has it print its whole object table.
"$wineserver" -p </dev/null >/dev/null 2>&1
booted=$(date +%s.%N)
# COM1-COM32 are Wine's own links to /dev/ttyS*; a high number stays ours.
status=0
"$peer" "$prefix/dosdevices/com$com" -- "$wine" "$exe" "$com" </dev/null || status=$?
finished=$(date +%s.%N)
awk -v a="$start" -v b="$booted" -v c="$finished" \
  'BEGIN { printf "wine: prefix created in %.1f s, tests ran in %.1f s\n", b - a, c - b }'
exit $status
