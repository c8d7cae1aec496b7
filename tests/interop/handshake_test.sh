#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Real TLS handshakes on localhost with certificates that ombrel-cli makes with its defaults:
# the platform's OpenSSL serves them at Debian's default security level, and OpenSSL, curl,
# NSS (the way Firefox checks a server) and GnuTLS must accept them.
# Usage: handshake_test.sh OMBREL_CLI OPENSSL
set -uo pipefail
cli=$(realpath "$1") openssl=$2

scratch=$(realpath "$(mktemp -d)")
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
cd "$scratch" || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
printf 'handshake-pw\n' >pass

# Certificate and key of a .pfx as PEM files NAME.crt and NAME.key.
unpack() {
  "$openssl" pkcs12 -in "$1.pfx" -passin file:pass -nokeys -clcerts -out "$1.crt" &&
    "$openssl" pkcs12 -in "$1.pfx" -passin file:pass -nocerts -noenc -out "$1.key"
}

# Starts openssl s_server on a port of the system's choosing with the given arguments; sets
# $port, or fails when the server refuses the certificate.
serve() {
  "$openssl" s_server -accept 0 -www -naccept 3 "$@" >server.out 2>&1 &
  server=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^ACCEPT .*:\([0-9][0-9]*\)$/\1/p' server.out)
    [ -n "$port" ] && return 0
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
  done
  fail "openssl s_server does not serve it: $(cat server.out)"
  return 1
}

stop() {
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  server=
}

# OpenSSL's client with the certificate's own trust anchor, checking the host name.
s_client() {
  local anchor=$1 out
  out=$(timeout 10 "$openssl" s_client -connect "localhost:$port" -servername localhost -CAfile "$anchor" \
    -verify_return_error -verify_hostname localhost </dev/null 2>&1)
  grep -q 'Verify return code: 0 (ok)' <<<"$out" || fail "openssl s_client refuses it: $(grep -i -m3 'error\|verify' <<<"$out")"
}

# 1. A web-site certificate with every default: self-signed, for localhost.
"$cli" --common-name localhost --password-file pass --out web.pfx >/dev/null || fail "ombrel-cli did not make web.pfx"
unpack web || fail "web.pfx does not open"
if serve -cert web.crt -key web.key; then
  s_client web.crt
  timeout 10 curl -sS --cacert web.crt "https://localhost:$port/" -o /dev/null || fail "curl refuses it"
  stop
fi

# 2. A certificate authority, and a certificate it issues with the defaults.
"$cli" --common-name "Handshake Test CA" --ca --password-file pass --out ca.pfx >/dev/null ||
  fail "ombrel-cli did not make ca.pfx"
"$cli" --common-name localhost --signer ca.pfx --signer-password-file pass --password-file pass \
  --out leaf.pfx >/dev/null || fail "ombrel-cli did not make leaf.pfx"
unpack ca && unpack leaf || fail "ca.pfx or leaf.pfx does not open"
if serve -cert leaf.crt -key leaf.key -cert_chain ca.crt; then
  s_client ca.crt
  stop
fi

# NSS, for a TLS server, as Firefox validates: the CA trusted for web sites, the leaf checked.
mkdir nssdb
certutil -N -d sql:nssdb --empty-password || fail "certutil cannot make a database"
certutil -A -d sql:nssdb -n "Handshake Test CA" -t "CT,," -a -i ca.crt || fail "certutil does not take the CA"
out=$(vfychain -d sql:nssdb -u 1 -a leaf.crt 2>&1)
grep -q 'Chain is good' <<<"$out" || fail "NSS vfychain refuses the leaf: $out"

# GnuTLS: the chain, the host name and server use.
out=$(cat leaf.crt ca.crt | certtool --verify --load-ca-certificate ca.crt --verify-hostname localhost \
  --verify-purpose 1.3.6.1.5.5.7.3.1 2>&1)
grep -q 'Chain verification output: Verified' <<<"$out" || fail "GnuTLS certtool refuses the chain: $out"

[ "$failures" -eq 0 ] || exit 1
echo "every client accepts the default certificates"
