#!/usr/bin/env bash
# title: krtool base64, qp and hex: content encodings, streamed in 64 KiB pieces
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "\$ krtool base64 encodings-sample.txt    (76-column lines, as coreutils' base64 writes them)"
"$KRTOOL" base64 encodings-sample.txt
echo "\$ krtool base64 --crlf encodings-sample.txt    (the library's form: CR LF shown as \\r)"
"$KRTOOL" base64 --crlf encodings-sample.txt | sed 's/\r/\\r/g'
echo
echo
echo "\$ krtool base64 encodings-sample.txt | krtool base64 -d | cmp - encodings-sample.txt"
"$KRTOOL" base64 encodings-sample.txt | "$KRTOOL" base64 -d | cmp - encodings-sample.txt && echo "identical"
echo
echo "\$ krtool qp encodings-sample.txt        (every byte outside ! to ~ becomes =XX; soft breaks =\\r)"
"$KRTOOL" qp encodings-sample.txt | sed 's/\r/\\r/g'
echo
echo
echo "\$ krtool qp encodings-sample.txt | krtool qp -d | cmp - encodings-sample.txt"
"$KRTOOL" qp encodings-sample.txt | "$KRTOOL" qp -d | cmp - encodings-sample.txt && echo "identical"
echo
echo "\$ printf 'Hi!' | krtool hex ; printf '4869 21' | krtool hex -d"
printf 'Hi!' | "$KRTOOL" hex
echo
printf '4869 21' | "$KRTOOL" hex -d
echo
echo
echo "\$ 3 MiB of random bytes through base64 and back (bounded memory, any size)"
head -c 3145728 /dev/urandom > "$work/random.bin"
"$KRTOOL" base64 "$work/random.bin" > "$work/random.b64"
"$KRTOOL" base64 -d "$work/random.b64" | cmp - "$work/random.bin" && echo "identical ($(wc -c < "$work/random.b64") characters of Base64)"
echo
echo "\$ printf 'YWJjZ' | krtool base64 -d   (a lone character after the last group)"
status=0
printf 'YWJjZ' | "$KRTOOL" base64 -d > "$work/out" 2> "$work/err" || status=$?
echo "output: $(cat "$work/out")"
cat "$work/err"
echo "exit status $status"
