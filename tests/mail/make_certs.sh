#!/bin/sh
# Test certificates in DIR: ca.pem (the trusted test CA); server certificates
# with their keys: good (localhost and 127.0.0.1), wrongname
# (other.example), expired (localhost, valid only in 2020), untrusted
# (localhost, signed by another CA).
set -e
cd "$1"
ca() {  # NAME: a self-signed CA
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$1.key" -out "$1.pem" -days 2 \
        -subj "/CN=krtools test $1" 2>/dev/null
}
server() {  # NAME CA SAN [STARTDATE ENDDATE]
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
    printf 'subjectAltName=%s\n' "$3" > "$1.ext"
    mkdir -p "db-$1" && : > "db-$1/index" && echo 01 > "db-$1/serial"
    cat > "$1.cnf" <<CONF
[ca]
default_ca = local
[local]
database = db-$1/index
serial = db-$1/serial
new_certs_dir = db-$1
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
CONF
    openssl ca -batch -config "$1.cnf" -cert "$2.pem" -keyfile "$2.key" -in "$1.csr" \
        -out "$1.pem" -extfile "$1.ext" -notext \
        -startdate "${4:-$(date -u -d yesterday +%Y%m%d%H%M%SZ)}" \
        -enddate "${5:-$(date -u -d tomorrow +%Y%m%d%H%M%SZ)}" 2>/dev/null
}
ca ca
ca otherca
server good ca "DNS:localhost,IP:127.0.0.1"
server wrongname ca "DNS:other.example"
server expired ca "DNS:localhost,IP:127.0.0.1" 20200101000000Z 20200102000000Z
server untrusted otherca "DNS:localhost,IP:127.0.0.1"
