#!/usr/bin/env bash
# title: DES, triple-DES and RC2 in CBC mode, the DES MAC and stored passwords
set -euo pipefail

message='Attack at dawn; bring the maps.'
key=0123456789abcdef
key3=0123456789abcdeffedcba987654321089abcdef01234567
iv=1234567890abcdef

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "message: $message"
for cipher in "des $key" "3des $key3" "rc2 0011223344"; do
  set -- $cipher
  printf '%s' "$message" |
    "$KRTOOL" cipher "$1" encrypt --key "$2" --iv "$iv" --pad 2 >"$work/cipher"
  decrypted=$("$KRTOOL" cipher "$1" decrypt --key "$2" --iv "$iv" --pad 2 "$work/cipher")
  printf '%-5s %s\n      -> %s\n' "$1" "$(od -An -tx1 "$work/cipher" | tr -d ' \n')" "$decrypted"
done

printf 'DES MAC (zero IV): '
printf '%s' "$message" | "$KRTOOL" mac --key "$key"

stored=$(printf 'open sesame\n' | "$KRTOOL" passwd encrypt --key 0f1e2d3c4b5a6978)
echo "stored password: $stored"
printf 'read back: '
printf '%s\n' "$stored" | "$KRTOOL" passwd decrypt --key 0f1e2d3c4b5a6978

field=$(printf 'my passphrase%051d' 0)
printf 'passphrase field, encrypted: '
printf '%s' "$field" | "$KRTOOL" passphrase encrypt | od -An -tx1 -N16 | tr -d '\n'
echo ' ...'
printf 'decrypted again: '
printf '%s' "$field" | "$KRTOOL" passphrase encrypt | "$KRTOOL" passphrase decrypt | head -c 13
echo
