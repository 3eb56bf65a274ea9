#!/usr/bin/env bash
# The command-line solver as a user meets it: exit codes and messages.
set -u
kz=$1
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
pass=0
fail=0
check() {  # description, expected exit, expected text (grep -F), command...
  local what=$1 want=$2 text=$3
  shift 3
  "$@" >"$tmp/out" 2>&1
  local got=$?
  if [ "$got" -eq "$want" ] && grep -qF -- "$text" "$tmp/out"; then
    pass=$((pass + 1))
  else
    fail=$((fail + 1))
    echo "FAIL: $what: exit $got (want $want), expected text: $text"
    sed 's/^/    /' "$tmp/out" | tail -20
  fi
}

check "optimal example" 0 "Objective:  302.083333333" "$kz" "$src/examples/plant.mps"
check "option line applies" 1 "SolSts:     2 iteration limit" "$kz" "$src/examples/plant.mps" Set Iterations 1
check "unknown option" 2 "KZCLP misspelled command line parameter." "$kz" "$src/examples/plant.mps" Set Bogus 1
check "missing file" 3 "cannot open" "$kz" "$tmp/none.mps"
printf 'NAME X\nROWS\n N OBJ\n Q R1\nCOLUMNS\nENDATA\n' >"$tmp/bad.mps"
check "malformed file" 3 "?? Error" "$kz" "$tmp/bad.mps"
# Names with blanks: the free-format read fails and the fixed-format read
# (from a fresh area) takes the file.
cat >"$tmp/blanks.mps" <<'MPS'
NAME          BLANK NAMES
ROWS
 N  COST ROW
 G  ROW A 1
 G  ROW B 2
COLUMNS
    COL 1     COST ROW  1.0            ROW A 1   1.0
    COL 1     ROW B 2   2.0
    COL 2     COST ROW  3.0            ROW A 1   1.0
    COL 2     ROW B 2   1.0
RHS
    RHS SET   ROW A 1   2.0            ROW B 2   3.0
ENDATA
MPS
check "fixed-format fallback" 0 "Objective:  2" "$kz" "$tmp/blanks.mps"
check "help" 0 "usage: kz MODEL" "$kz" --help
check "no model" 2 "usage: kz MODEL" "$kz"
check "solution file" 0 "Status:     optimal" "$kz" "$src/examples/plant.mps" --solution "$tmp/sol.csv"
if head -1 "$tmp/sol.csv" | grep -q '^kind,index,name,value,dual$' && grep -q '^column,0,"XA1",' "$tmp/sol.csv" &&
   grep -q '^row,1,"CAPA",' "$tmp/sol.csv"; then
  pass=$((pass + 1))
else
  fail=$((fail + 1))
  echo "FAIL: solution CSV"
  cat "$tmp/sol.csv"
fi
echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
