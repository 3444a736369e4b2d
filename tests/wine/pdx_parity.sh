#!/usr/bin/env bash
# pdx.exe under Wine dumps every table of the shared data as the Linux pdx
# does, byte for byte once Windows' line ends are taken off.
# usage: pdx_parity.sh PDX_EXE LINUX_PDX SHARED_DIR WINE...
set -uo pipefail
exe=$1 linux=$2 shared=$3
shift 3
if [ ! -d "$shared/data/paradox" ]; then
  echo "SKIPPED: no folder $shared/data/paradox"
  exit 0
fi
if [ ! -x "$linux" ]; then
  echo "SKIPPED: no Linux pdx at $linux (build the Linux tree first)"
  exit 0
fi
status=0 tables=0
while IFS= read -r -d '' table; do
  tables=$((tables + 1))
  expected=$("$linux" dump "$table" 2>&1; echo "exit $?")
  got=$("$@" "$exe" dump "Z:$table" 2>&1 | tr -d '\r'; echo "exit ${PIPESTATUS[0]}")
  if [ "$expected" != "$got" ]; then
    echo "differs: $table"
    diff <(echo "$expected") <(echo "$got") | head -20
    status=1
  fi
done < <(find "$shared/data/paradox" -iname '*.db' -print0 | sort -z)
echo "$tables tables compared"
exit $status
