#!/usr/bin/env bash
# Runs examples/ansible/bench.yml with ansible-playbook over a local connection: two benches,
# each with its own port alias folder of simulated modules at mixed rates, and a local TCP
# server to connect them to. The report must list every module with its rate, and every
# connection must have succeeded.
#   ansible_test.sh BIN_DIR
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
playbook=$here/../../examples/ansible/bench.yml
command -v ansible-playbook >/dev/null || { echo "ansible-playbook is not installed"; exit 77; }

work=$(mktemp -d /tmp/esp8266-ansible-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# bench -> "com:baud ..." of its modules
declare -A modules=([bench-a]="1:115200 2:9600 3:57600" [bench-b]="1:9600 2:115200")
expected=0
for bench in "${!modules[@]}"; do
  folder=$work/$bench
  mkdir -p "$folder"
  # The machine's own serial ports stay out of "-p all": every other COMn names nothing.
  for n in $(seq 1 128); do ln -s "$work/absent" "$folder/com$n"; done
  for module in ${modules[$bench]}; do
    rm "$folder/com${module%%:*}"
    ESP8266WIFI_PORTS=$folder "$bin/esp8266-sim" --com "${module%%:*}" --baud "${module##*:}" \
      --join-delay-ms 100 >/dev/null 2>&1 &
    pids+=($!)
    expected=$((expected + 1))
  done
done

# A TCP server that takes every module's connection and holds it.
python3 - "$work/server-port" <<'PY' &
import socket, sys, threading, time
server = socket.create_server(("127.0.0.1", 0))
open(sys.argv[1], "w").write(str(server.getsockname()[1]))
held = []
while True:
    held.append(server.accept()[0])
PY
pids+=($!)

for _ in $(seq 1 100); do
  ready=$(find "$work" -maxdepth 2 -name 'com*' -type l -xtype c | wc -l)
  [ -s "$work/server-port" ] && [ "$ready" -eq "$expected" ] && break
  sleep 0.05
done

cat > "$work/inventory.yml" <<YAML
benches:
  hosts:
    bench-a: {esp8266_alias_folder: $work/bench-a}
    bench-b: {esp8266_alias_folder: $work/bench-b}
  vars:
    ansible_connection: local
    ansible_python_interpreter: $(command -v python3)
YAML

cd "$work"
export HOME=$work ANSIBLE_LOCAL_TEMP=$work/tmp ANSIBLE_ASYNC_DIR=$work/async ANSIBLE_NOCOLOR=1
export ANSIBLE_RETRY_FILES_ENABLED=0 PATH=$bin:$PATH
ansible-playbook -i "$work/inventory.yml" "$playbook" \
  -e esp8266_ssid=esp-test -e esp8266_password=password123 \
  -e "esp8266_server=127.0.0.1:$(cat "$work/server-port")" -e "esp8266_report=$work/report" \
  > "$work/ansible.log" 2>&1 || { cat "$work/ansible.log"; exit 1; }

report=$work/report.json
cat "$work/report.txt"
fail=0
for bench in "${!modules[@]}"; do
  for module in ${modules[$bench]}; do
    com=COM${module%%:*} baud=${module##*:}
    found=$(jq -r --arg b "$bench" --arg p "$com" \
      '.[$b].ports[] | select(.port == $p) | "\(.result) \(.baud)"' "$report")
    connected=$(jq -r --arg b "$bench" --arg p "$com" \
      '.[$b].connections[] | select(.port == $p) | .ok' "$report")
    if [ "$found" != "module $baud" ] || [ "$connected" != "true" ]; then
      echo "$bench $com: found '$found', connected '$connected'; expected module $baud, true"
      fail=1
    fi
  done
done
# Only the modules: the aliases to nowhere are not ports that can be opened.
listed=$(jq '[.[] | .ports[]] | length' "$report")
[ "$listed" -eq "$expected" ] || { echo "the report lists $listed ports, not $expected"; fail=1; }
exit $fail
