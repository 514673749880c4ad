#!/usr/bin/env bash
# title: krtool asn1: the element tree of a certificate, with its content octets
set -euo pipefail
echo "\$ krtool asn1 sample-cert.pem"
"$KRTOOL" asn1 sample-cert.pem
