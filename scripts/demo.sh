#!/usr/bin/env bash
# Makes a small movie table with the oxdbf tool and shows it: the table's
# structure (info), every record (dump, deleted ones marked) and the CSV
# export of the records that are not deleted.
# Usage: scripts/demo.sh <path to oxdbf> [folder for the table]
set -euo pipefail
oxdbf="$1"
if [ $# -ge 2 ]; then
  dir="$2"
  mkdir -p "$dir"
else
  dir="$(mktemp -d)"
  trap 'rm -rf "$dir"' EXIT
fi
table="$dir/movies.dbf"
rm -f "$table" "$dir/movies.dbt" "$dir/movies.DBT"

"$oxdbf" create "$table" "title, C, 30, 0" "year, N, 4, 0" "color, L, 1, 0" \
  "runtime, N, 3, 0" "stars, N, 4, 1" "director, C, 35, 0" "plot, M, 10, 0" "premiere, D, 8, 0"
"$oxdbf" append "$table" "title=Das Cabinet des Dr. Caligari" year=1920 color=F runtime=77 stars=8.0 \
  "director=Robert Wiene" premiere=19200226 \
  "plot=Ein Schausteller und sein Somnambuler ziehen über den Jahrmarkt."
"$oxdbf" append "$table" "title=Der müde Tod" year=1921 color=F runtime=98 stars=7.6 \
  "director=Fritz Lang" premiere=19211006
"$oxdbf" append "$table" "title=Die Blechtrommel" year=1979 color=T runtime=142 stars=7.5 \
  "director=Volker Schlöndorff" premiere=19790503
"$oxdbf" append "$table" "title=Lola rennt" year=1998 color=T runtime=81 stars=7.6 \
  "director=Tom Tykwer" premiere=19980820 \
  "plot=Lola hat zwanzig Minuten, um hunderttausend Mark zu beschaffen."
"$oxdbf" append "$table" "title=Das Leben der Anderen" year=2006 color=T runtime=137 stars=8.4 \
  "director=Florian Henckel von Donnersmarck" premiere=20060323
"$oxdbf" delete "$table" 3

echo "== oxdbf info $table"
"$oxdbf" info "$table"
echo
echo "== oxdbf dump $table"
"$oxdbf" dump "$table"
echo
echo "== oxdbf dump --csv $table"
"$oxdbf" dump "$table" --csv
echo
echo "== oxdbf locate $table director fritz --nocase"
"$oxdbf" locate "$table" director fritz --nocase
echo
echo "== oxdbf eval --table $table --recno 4 'UPPER(TITLE)+STR(YEAR,5)+DTOS(PREMIERE)'"
"$oxdbf" eval --table "$table" --recno 4 'UPPER(TITLE)+STR(YEAR,5)+DTOS(PREMIERE)'
