#!/usr/bin/env bash
# title: krtool digest and pbe: MD5/SHA-1 digests, a translation table, password-based encryption
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "\$ krtool digest md5 sample-cert.pem"
"$KRTOOL" digest md5 sample-cert.pem
echo "\$ krtool digest sha1 sample-cert.pem"
"$KRTOOL" digest sha1 sample-cert.pem

# A table that maps a-z to A-Z: hashing through it equals hashing the
# upper-cased text.
for i in $(seq 0 255); do
  if [ "$i" -ge 97 ] && [ "$i" -le 122 ]; then i=$((i - 32)); fi
  printf "\\$(printf '%03o' "$i")"
done > "$work/upper.table"
echo "\$ printf 'Hello, World' | krtool digest md5 --table upper.table"
printf 'Hello, World' | "$KRTOOL" digest md5 --table "$work/upper.table" -
echo "\$ printf 'HELLO, WORLD' | krtool digest md5"
printf 'HELLO, WORLD' | "$KRTOOL" digest md5 -

echo 'demo pass phrase' > "$work/password"
printf 'a secret message' > "$work/message"
echo "\$ krtool pbe encrypt --password-file password message"
"$KRTOOL" pbe encrypt --password-file "$work/password" "$work/message" | tee "$work/encrypted"
echo "\$ krtool pbe decrypt --password-file password encrypted"
"$KRTOOL" pbe decrypt --password-file "$work/password" "$work/encrypted"
echo
