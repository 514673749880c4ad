#!/usr/bin/env bash
# title: certificates, distinguished names and the subject alternative name
set -euo pipefail
cd "${DEMO_DIR:-$(dirname "$0")}"

echo "-- the sample certificate"
"$KRTOOL" cert sample-cert.pem

echo "-- a distinguished name and its long name"
"$KRTOOL" dn --country US --org Acme --cn "Gateway One" --email gw@example.com
"$KRTOOL" dn --country USA --org Acme --cn "Gateway One" --street "Main St" --street2 "Elm St" --long

echo "-- a subject alternative name value, encoded and decoded again"
value=$("$KRTOOL" san encode --email gw@example.com --party ZZ_GATEWAY1)
echo "$value"
echo "$value" | "$KRTOOL" san decode --hex
