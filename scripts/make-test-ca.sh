#!/usr/bin/env bash
# Makes a throwaway certificate authority and a server certificate for 127.0.0.1 and
# localhost, for the local district-list service (demo and tests). Nothing here is secret:
# the keys are made fresh and never leave the output folder.
#   scripts/make-test-ca.sh OUT_DIR
# Writes OUT_DIR/ca.pem (trust this one, e.g. SSL_CERT_FILE=OUT_DIR/ca.pem),
# OUT_DIR/server.pem and OUT_DIR/server.key (for the service).
set -euo pipefail

out=${1:?usage: make-test-ca.sh OUT_DIR}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umask 077

openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
  -keyout "$work/ca.key" -out "$work/ca.pem" -days 3650 -sha256 \
  -subj "/O=Telvora/CN=Telvora Throwaway Test CA" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -addext "subjectKeyIdentifier=hash" 2>/dev/null

openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
  -keyout "$work/server.key" -out "$work/server.csr" \
  -subj "/O=Telvora/CN=localhost" 2>/dev/null

cat > "$work/server.ext" <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid,issuer
EXT
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -set_serial "0x$(openssl rand -hex 16)" -days 3650 -sha256 \
  -extfile "$work/server.ext" -out "$work/server.pem" 2>/dev/null

cp "$work/ca.pem" "$work/server.pem" "$work/server.key" "$out/"
chmod 644 "$out/ca.pem" "$out/server.pem"
chmod 600 "$out/server.key"
echo "$out/ca.pem"
