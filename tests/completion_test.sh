#!/usr/bin/env bash
# The bash completion of tessaly-import and pdx, run as bash runs it on Tab:
# each case is a command line (completed at its end) and the words offered.
set -uo pipefail
source=$1
# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$source/data/completion/tessaly-import"
# shellcheck disable=SC1090
source "$source/data/completion/pdx"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/notas" "$work/nfe" "$work/-h"
touch "$work/TabCli.db" "$work/leia.txt"
cd "$work" || exit 1

failures=0
offered() {  # the words offered for a line
  local line=$1 function=$2
  read -r -a COMP_WORDS <<< "$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  "$function"
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
}
check() {
  local line=$1 function=$2 expected=$3 got
  got=$(offered "$line" "$function")
  if [ "$got" != "$expected" ]; then
    echo "FAIL: '$line' offers '$got', not '$expected'"
    failures=$((failures + 1))
  fi
}

check "tessaly-import " _tessaly_import "clientes desfazer produtos"
check "tessaly-import --" _tessaly_import "-- --dados --detalhes --help --simular --version"
check "tessaly-import --si" _tessaly_import "--simular"
check "tessaly-import --simular c" _tessaly_import "clientes"
check "tessaly-import clientes " _tessaly_import "-h nfe notas"
check "tessaly-import clientes n" _tessaly_import "nfe notas"
check "tessaly-import desfazer " _tessaly_import "clientes produtos"
check "tessaly-import --dados " _tessaly_import "-h nfe notas"
check "tessaly-import --dados notas produtos no" _tessaly_import "notas"
check "tessaly-import clientes notas " _tessaly_import ""
check "tessaly-import desfazer clientes " _tessaly_import ""
check "tessaly-import -- clientes -" _tessaly_import "-h"
check "pdx " _pdx "create dump info insert"
check "pdx dump -" _pdx "-H"
check "pdx dump " _pdx "-h TabCli.db nfe notas"
check "pdx create -" _pdx "-b -c"
check "pdx create -b " _pdx ""
check "pdx insert T" _pdx "TabCli.db"
exit $((failures > 0))
