#!/usr/bin/env bash
# What bash completes for esp8266at and esp8266wifi, with the completions as installed and
# the programs of this build on PATH.
#   completion.sh BIN_DIR COMPLETIONS_DIR
# Exit 77 (skipped) without bash-completion.
set -u
bin=$1
completions=$2
main=/usr/share/bash-completion/bash_completion
[ -r "$main" ] || { echo "no bash-completion"; exit 77; }
# shellcheck disable=SC1090
. "$main"
. "$completions/esp8266at"
. "$completions/esp8266wifi"
export PATH="$bin:$PATH"
ports=$(mktemp -d /tmp/esp-completion-XXXXXX)
trap 'rm -rf "$ports"' EXIT
export ESP8266WIFI_PORTS=$ports
ln -s /dev/null "$ports/com7"

failed=0
# complete_line "WORD...": the last word is the one being completed; fills COMPREPLY.
complete_line() {
  local line=$1
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  "$(complete -p "${COMP_WORDS[0]}" | sed -E 's/.*-F ([^ ]+).*/\1/')" "${COMP_WORDS[0]}" \
    "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}
# completes "WORD..." EXPECTED...: COMPREPLY is exactly the expected words, in any order.
completes() {
  local line=$1
  shift
  complete_line "$line"
  local got want
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
  if [[ $got == "$want" ]]; then
    echo "PASS: '$line' -> $got"
  else
    echo "FAIL: '$line' -> '$got', expected '$want'"
    failed=1
  fi
}

completes "esp8266at co" command connect
completes "esp8266at help s" send
completes "esp8266at send --pa" --parity
completes "esp8266at send --parity " none odd even
completes "esp8266at connect --s" --ssid --server
completes "esp8266at command AT+CWJ" AT+CWJAP
completes "esp8266at command cwj" CWJAP
# offers LINE WORD: WORD is among the completions (the host's own ports may be there too).
offers() {
  complete_line "$1"
  if printf '%s\n' "${COMPREPLY[@]}" | grep -qxF "$2"; then
    echo "PASS: '$1' offers $2"
  else
    echo "FAIL: '$1' -> '${COMPREPLY[*]}', no $2"
    failed=1
  fi
}

offers "esp8266at send -p COM" COM7
offers "esp8266at send -p " all
completes "esp8266wifi --st" --style
completes "esp8266wifi --style Deep" DeepBlue
completes "esp8266wifi --parity e" EVEN
offers "esp8266wifi --port COM" COM7
exit $failed
