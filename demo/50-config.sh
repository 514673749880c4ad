#!/usr/bin/env bash
# title: krtool ini and params: settings files and parameter records
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp config-settings.ini "$work/settings.ini"
echo "\$ krtool ini list settings.ini"
"$KRTOOL" ini list "$work/settings.ini"
echo "\$ krtool ini get settings.ini connection port"
"$KRTOOL" ini get "$work/settings.ini" connection port
echo "\$ krtool ini set settings.ini paths outbox /var/spool/outbox"
"$KRTOOL" ini set "$work/settings.ini" paths outbox /var/spool/outbox
echo "\$ cat settings.ini   # only the changed line differs"
cat "$work/settings.ini"
echo "\$ krtool params paren --escapes config-params.txt"
"$KRTOOL" params paren --escapes config-params.txt
printf 'a=1 b="x y" (oops)\n' > "$work/bad.txt"
echo "\$ krtool params paren bad.txt   # a syntax error"
"$KRTOOL" params paren "$work/bad.txt" 2>&1 || echo "(exit status $?)"
