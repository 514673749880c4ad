#!/usr/bin/env bash
# title: krtool crc16, edc and time: CRC-16 check values, byte stuffing, time stamps
set -euo pipefail

echo "\$ printf 123456789 | krtool crc16            # CRC-16/XMODEM check value"
printf 123456789 | "$KRTOOL" crc16
echo "\$ printf 123456789 | krtool crc16 --init 0xFFFF   # CRC-16/CCITT-FALSE"
printf 123456789 | "$KRTOOL" crc16 --init 0xFFFF
echo "\$ printf 'A\\000\\001\\002BC' | krtool edc encode | od -An -tx1"
printf 'A\000\001\002BC' | "$KRTOOL" edc encode | od -An -tx1
echo "\$ printf 'A\\000\\001\\002BC' | krtool edc encode | krtool edc decode | od -An -tx1"
printf 'A\000\001\002BC' | "$KRTOOL" edc encode | "$KRTOOL" edc decode | od -An -tx1

echo "\$ krtool time --from-seconds 981173106"
"$KRTOOL" time --from-seconds 981173106
echo "\$ TZ=Europe/Berlin krtool time --from-seconds 981173106 --local --dash"
TZ=Europe/Berlin "$KRTOOL" time --from-seconds 981173106 --local --dash
echo "\$ krtool time --from-stamp 2001-02-03-04.05.06.123456"
"$KRTOOL" time --from-stamp 2001-02-03-04.05.06.123456
echo "\$ krtool time --from-stamp '2038-07-01 12:00:00'   # the reserved year"
"$KRTOOL" time --from-stamp '2038-07-01 12:00:00'
echo "\$ krtool time --from-stamp '2100-07-01 12:00:00'"
"$KRTOOL" time --from-stamp '2100-07-01 12:00:00'
echo "\$ krtool time --to-cms '2001-02-03 04:05:06'"
"$KRTOOL" time --to-cms '2001-02-03 04:05:06'
echo "\$ krtool time --from-cms 20010203 040506"
"$KRTOOL" time --from-cms 20010203 040506
