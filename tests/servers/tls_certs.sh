#!/bin/sh
# SPDX-License-Identifier: MIT
# Makes the certificates of the TLS tests in the given folder with the
# openssl command: a private CA (ca.pem) and, signed by it, a good server
# certificate for localhost, 127.0.0.1 and ::1 (good.pem / good.key), an
# expired one (expired.*), one for another name (wrongname.*), and a
# self-signed one (selfsigned.*). Existing files are kept.
set -eu
dir=$1
mkdir -p "$dir"
cd "$dir"
[ -f selfsigned.pem ] && exit 0
q="-loglevel error"
cat > ca.cnf <<'CNF'
[ca]
default_ca = test_ca
[test_ca]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
CNF
: > index.txt
echo 1000 > serial
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
    -subj "/CN=VOK Test CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
leaf() {  # name subject-cn subjectAltName start end
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$3" > "$1.ext"
    openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in "$1.csr" -out "$1.pem" \
        -extfile "$1.ext" -startdate "$4" -enddate "$5" -notext 2>/dev/null
}
now=$(date -u +%Y%m%d%H%M%SZ)
later=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
leaf good localhost "DNS:localhost,IP:127.0.0.1,IP:::1" "$now" "$later"
leaf expired localhost "DNS:localhost,IP:127.0.0.1,IP:::1" 20200101000000Z 20200201000000Z
leaf wrongname mail.example.org "DNS:mail.example.org" "$now" "$later"
openssl req -x509 -newkey rsa:2048 -nodes -keyout selfsigned.key -out selfsigned.pem -days 30 \
    -subj "/CN=localhost" -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" 2>/dev/null
