#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package with cpack, unpacks it into a scratch folder and runs
# ombrel-cli from there: the package alone must be enough, with its dependencies declared.
# Usage: package_test.sh BUILD_DIR OPENSSL WITH_DESKTOP_PROGRAM(0|1)
set -euo pipefail
build=$1 openssl=$2 desktop=$3

scratch=$(realpath "$(mktemp -d)")
trap 'rm -rf "$scratch"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || {
  cat "$scratch/cpack.log"
  exit 1
}
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one package, got: ${debs[*]}"; exit 1; }
deb=${debs[0]}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# dpkg-shlibdeps read these from the binaries: OpenSSL through the library, Qt through the
# desktop program.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
needed=(libc6 libssl3)
[ "$desktop" = 1 ] && needed+=(libqt6widgets6)
for package in "${needed[@]}"; do
  [[ ", $depends" == *", $package "* || ", $depends," == *", $package,"* ]] || fail "Depends lacks $package"
done

# Debian's own checker: errors fail the test; warnings are printed for the record.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$lintian_out" ] || echo "$lintian_out"
! grep -q '^E: ' <<<"$lintian_out" || fail "lintian reports errors"
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/share/doc/ombrel/copyright$' <<<"$contents" || fail "the package has no copyright file"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
cli=$root/usr/bin/ombrel-cli
lib=$(realpath -m "$(env -u LD_LIBRARY_PATH ldd "$cli" | awk '/libcertmgr/ {print $3}')")
case "$lib" in
  "$root/usr/"*) ;;
  *) fail "the unpacked ombrel-cli loads libcertmgr from '$lib', not from the package" ;;
esac

version=$(env -u LD_LIBRARY_PATH "$cli" --version) || fail "the unpacked ombrel-cli does not run"
[ "$version" = "Ombrel 2.1" ] || fail "--version says '$version'"

cd "$scratch"
printf 'package-test\n' >pass
env -u LD_LIBRARY_PATH "$cli" --common-name package.example.test --key-length 1024 \
  --password-file pass --out made.pfx || fail "the unpacked ombrel-cli did not make a certificate"
"$openssl" pkcs12 -in made.pfx -passin file:pass -noout || fail "the certificate it made does not open"

[ "$failures" -eq 0 ] || exit 1
echo "package $(basename "$deb") installs and runs"
