#!/usr/bin/env bash
# title: krtool ls: walk a directory, with mode, size and times per entry
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/reports"
printf 'hello\n' > "$work/greeting.txt"
head -c 4096 /dev/zero > "$work/reports/zeros.bin"
chmod 640 "$work/greeting.txt"
touch -d '2024-02-29 12:00:00 UTC' "$work/greeting.txt" "$work/reports"

echo "\$ krtool ls DIR            (sorted here; the tool keeps the order the system lists)"
"$KRTOOL" ls "$work" | sort
echo
echo "\$ krtool ls DIR --long     (mode size ctime mtime atime name; mtime 1709208000)"
"$KRTOOL" ls "$work" --long | grep -v ' \.\.$' | sort -k6
echo
echo "\$ krtool ls DIR/missing    (a failure is one line on standard error, exit 1)"
"$KRTOOL" ls "$work/missing" 2>&1 || echo "exit status $?"
