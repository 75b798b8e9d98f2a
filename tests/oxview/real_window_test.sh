#!/usr/bin/env bash
# oxview in a real X window under Xvfb, driven by xdotool as a person would
# drive it, on the sample table (make_movies):
#   1. read-only: open from the command line, type into a cell, press
#      delete, Ctrl+S: the files stay byte for byte as they were; choose the
#      YEAR order (Ctrl+2), export it as CSV through the file dialog and
#      compare with `oxdbf dump --order YEAR --csv --with-deleted`; filter
#      (Ctrl+L) and search (Ctrl+F) through the index; the state printed
#      with --dump-state shows the order, the filter, the record found and
#      only rows the filter lets through.
#   2. editing (Ctrl+E, the title says so): type a new title into the first
#      cell, save (Ctrl+S), open a second table through File > Open's dialog;
#      python3-dbfread reads the new title from the file.
# Skipped (status 77) when Xvfb or xdotool is missing.
# Usage: real_window_test.sh <oxview> <make_movies> <oxdbf> <work folder>
set -euo pipefail
source "$(dirname "$0")/../support/xvfb.sh"
oxview="$1"; make_movies="$2"; oxdbf="$3"; work="$4"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work"; mkdir -p "$work/config"; cd "$work"
"$make_movies" "$work" >/dev/null
cp movie_r.dbf second.dbf; cp movie_r.dbt second.dbt
export XDG_CONFIG_HOME="$work/config"   # oxview's settings stay here
export ASAN_OPTIONS=detect_leaks=0

xvfb=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb 1024x700x24

fail() { echo "FAIL: $*"; [ -f oxview.err ] && cat oxview.err; [ -f state.txt ] && cat state.txt; exit 1; }

# Starts oxview on the arguments and waits for a window whose title
# matches $1; the window id is left in $window.
start() {
  local title="$1"; shift
  QT_QPA_PLATFORM=xcb "$oxview" "$@" --dump-state >state.txt 2>oxview.err &
  pid=$!
  window=""
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no window titled '$title'"
  xdotool windowfocus --sync "$window"
  sleep 0.5
}

# Types into the window that has the focus, then lets oxview catch up.
keys() { xdotool key --delay 60 "$@"; sleep 0.4; }
type_text() { xdotool type --delay 40 "$1"; sleep 0.3; }

# Waits for a window titled $1 (a dialog) and focuses it.
focus_dialog() {
  local dialog=""
  for _ in $(seq 50); do
    dialog=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) && [ -n "$dialog" ] && break
    sleep 0.1
  done
  [ -n "$dialog" ] || fail "no dialog titled '$1'"
  xdotool windowfocus --sync "$dialog"
  sleep 0.5
}

# Types a file name into the file dialog titled $1 and accepts it; a
# second Return when the first only closed the name completer's list.
choose_file() {
  focus_dialog "$1"
  keys ctrl+a
  type_text "$2"
  sleep 0.5
  keys Return
  sleep 0.5
  if xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; then keys Return; fi
  xdotool windowfocus --sync "$window"; sleep 0.3
}

# Ends oxview with SIGTERM (which closes the window) and checks its status.
stop() {
  kill -TERM "$pid" 2>/dev/null || true
  local status=0; wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "oxview ended with $status"
}

# ---------------------------------------------------------------- 1 ---
sha_before=$(sha256sum movie_r.dbf movie_r.dbt movie_r.mdx)
start '^oxview - movie_r.dbf \[read-only\]$' movie_r.dbf
# Editing is off: typing into the grid, Delete and Ctrl+Delete, the delete
# shortcut and a save change nothing.
type_text "Changed"
keys Return ctrl+Delete ctrl+d ctrl+s
keys ctrl+2
keys ctrl+shift+c
choose_file '^Export as CSV$' "$work/export.csv"
for _ in $(seq 50); do [ -s export.csv ] && break; sleep 0.1; done
keys ctrl+l
type_text 'YEAR > 1960 .AND. RUNTIME > 90'
keys Return
keys ctrl+f
type_text '1968'
keys Return
sleep 0.5
stop
cat state.txt
[ "$(sha256sum movie_r.dbf movie_r.dbt movie_r.mdx)" = "$sha_before" ] || fail "files changed while editing was off"
grep -qx 'Order: YEAR' state.txt || fail "the order is not YEAR"
grep -qx 'Filter: YEAR > 1960 .AND. RUNTIME > 90' state.txt || fail "the filter is not in force"
grep -qx 'Search: found (index)' state.txt || fail "the index search did not find 1968"
grep -q '^Current: [^|]* | 1968 | ' state.txt || fail "the current record is not of 1968"
grep -q '^Row: ' state.txt || fail "no rows shown"
# Every row shown passes the filter (year and runtime are fields 2 and 4).
awk -F' [|] ' '/^Row: /{ if (!($2 > 1960 && $4 > 90)) { print "rejected row shown: " $0; bad=1 } } END { exit bad }' state.txt \
  || fail "the filter let a row through"
"$oxdbf" dump movie_r.dbf --order YEAR --csv --with-deleted >expected.csv
cmp export.csv expected.csv || fail "the export differs from oxdbf dump --csv"

# ---------------------------------------------------------------- 2 ---
start '^oxview - movie_r.dbf \[read-only\]$' movie_r.dbf
keys ctrl+e
xdotool search --name '^oxview - movie_r.dbf \[editing\]$' >/dev/null || fail "the title does not say editing"
type_text "Neuer Titel"
keys Return ctrl+s
keys ctrl+o
choose_file '^Open tables$' "$work/second.dbf"
sleep 1
stop
cat state.txt
grep -qx 'Tabs: 2' state.txt || fail "the dialog did not open the second table"
grep -q '^Title: oxview - second.dbf \[read-only\]$' state.txt || fail "the second table is not current"
title=$(/usr/bin/python3 -c "
import sys
from dbfread import DBF
print(next(iter(DBF(sys.argv[1], encoding='cp850'))).get('TITLE'))" movie_r.dbf)
[ "$title" = "Neuer Titel" ] || fail "dbfread reads '$title' as the first title"
echo "PASS"
