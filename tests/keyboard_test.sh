#!/usr/bin/env bash
# The real window under Xvfb, driven by keyboard alone as a person does it
# (xdotool): the mode is changed with Shift+Tab and Down, and with Tab from
# "Sair" and Up; a folder is typed into the field; Enter runs the import.
set -euo pipefail
program=$1
source_dir=$2
# The demo's tables are made by this build's table tool, whatever the
# build folder is called.
export PDX=$3
work=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$log" ] && cat "$log" >&2; exit 1; }

source "$("$source_dir/scripts/make-demo" "$work/demo")"
log="$XDG_DATA_HOME/Harbek/Tessaly.exe/Tessaly.log"
folder="$HOME/Documents/NF-e exportadas"
# A runtime folder of its own: a copy of the program open elsewhere for this
# user would otherwise be raised instead of a new window opening.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Xvfb picks a free display itself and writes its number once it accepts
# connections, so a busy machine or another server cannot race us.
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
export DISPLAY=":$(head -1 "$work/display")"

"$program" >"$work/program.out" 2>&1 &
app=$!
window=""
for _ in $(seq 300); do
  kill -0 "$app" 2>/dev/null || break
  window=$(xdotool search --name '^Quarrimo$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { cat "$work/program.out" >&2; fail "the window did not open"; }
sleep 0.5
xdotool windowfocus --sync "$window"

# Waits until the log holds a line with text.
waitFor() {
  for _ in $(seq 300); do grep -q "$1" "$log" 2>/dev/null && return 0; sleep 0.1; done
  fail "the log never said: $1"
}
# Each key is given time to be handled, as a person's would be; the machine
# may be busy with other tests.
type() { xdotool type --delay 20 "$1"; sleep 0.5; }
key() {
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.4
  done
}
# A message box has taken the focus: Enter closes it.
closeBox() {
  for _ in $(seq 100); do
    [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = "Tessaly" ] && break
    sleep 0.1
  done
  key Return
  sleep 0.5
}

# Fresh start: the focus is in the field; Shift+Tab lands on the mode, Down
# takes "Produtos".
key shift+Tab Down Tab
type "$folder"
key Return
waitFor "Produtos cadastrados com sucesso!"
closeBox
# From "Sair", Tab lands on the selected mode; Up takes "Clientes" again.
key shift+Tab shift+Tab Tab Up Tab
type "$folder"
key Return
waitFor "clientes cadastrados com sucesso!"
closeBox
# Alt+S ends the program.
key alt+s
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "Alt+S did not close the window"
app=""
echo "keyboard run: products, then clients, then closed"
