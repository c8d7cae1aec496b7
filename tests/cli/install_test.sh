#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# cmake --install into a scratch prefix: each file in its freedesktop place, the metadata
# accepted by the validators, and the command running without LD_LIBRARY_PATH.
# Usage: install_test.sh BUILD_DIR APP_ID LIBDIR WITH_DESKTOP_PROGRAM(0|1)
set -euo pipefail
build=$1 app=$2 libdir=$3 desktop=$4

scratch=$(realpath "$(mktemp -d)")
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/usr
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
have() { [ -e "$prefix/$1" ] || fail "not installed: $1"; }

have bin/ombrel-cli
[ "$desktop" = 1 ] && have bin/ombrel
have "$libdir/libcertmgr.so.1"
# Only the programs link the library: no development link, no headers.
[ ! -e "$prefix/$libdir/libcertmgr.so" ] || fail "the development link libcertmgr.so is installed"
[ ! -e "$prefix/include" ] || fail "headers are installed"
have "share/applications/$app.desktop"
have "share/metainfo/$app.metainfo.xml"
have share/man/man1/ombrel-cli.1.gz
[ "$desktop" = 1 ] && have share/man/man1/ombrel.1.gz
have share/bash-completion/completions/ombrel-cli
for size in 16 32 48 64; do
  icon=share/icons/hicolor/${size}x${size}/apps/$app.png
  have "$icon"
  file -b "$prefix/$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not a $size x $size PNG"
done
have "share/icons/hicolor/scalable/apps/$app.svg"
file -b "$prefix/share/icons/hicolor/scalable/apps/$app.svg" | grep -q SVG || fail "the scalable icon is not SVG"

desktop-file-validate "$prefix/share/applications/$app.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" || fail "appstreamcli validate"
# The tree as a whole: the metainfo's launchable names the installed desktop entry.
appstreamcli validate-tree --no-net "$scratch" || fail "appstreamcli validate-tree"

# groff reports unknown macros and broken requests as warnings on standard error.
pages=(ombrel-cli)
[ "$desktop" = 1 ] && pages+=(ombrel)
for page in "${pages[@]}"; do
  warnings=$(zcat "$prefix/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1) ||
    fail "groff cannot format the manual page of $page"
  [ -z "$warnings" ] || fail "the manual page of $page has warnings: $warnings"
done

# The completion as bash runs it when the user presses Tab: COMP_WORDS holds the words so far.
completion=$prefix/share/bash-completion/completions/ombrel-cli
bash -n "$completion" || fail "the bash completion does not parse"
complete_words() {
  bash -c 'source "$1" && shift && COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && _ombrel_cli &&
           for word in "${COMPREPLY[@]}"; do printf "%s\n" "$word"; done' _ "$completion" "$@" | sort | tr '\n' ' '
}
help=$(env -u LD_LIBRARY_PATH "$prefix/bin/ombrel-cli" --help)
# Every option the help lists, and no other.
expected=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u | tr '\n' ' ')
[ "$(complete_words ombrel-cli --)" = "$expected" ] || fail "completing -- gives '$(complete_words ombrel-cli --)', not '$expected'"
[ "$(complete_words ombrel-cli --key-l)" = "--key-length " ] || fail "--key-l does not complete to --key-length"
# Key lengths within the range the help gives, the default among them.
range=$(sed -n 's/^ *--key-length BITS *RSA key length, \([0-9]*\) to \([0-9]*\) (default \([0-9]*\).*/\1 \2 \3/p' <<<"$help")
read -r shortest longest default <<<"$range"
[ -n "$default" ] || fail "the help names no range of key lengths"
lengths=$(complete_words ombrel-cli --key-length '')
[[ " $lengths" == *" $default "* ]] || fail "key lengths complete to '$lengths', without the default '$default'"
[ -n "$default" ] && for bits in $lengths; do
  ((bits >= shortest && bits <= longest)) || fail "the key length $bits is outside $shortest to $longest"
done
touch "$scratch/made.pfx"
[ "$(complete_words ombrel-cli --out "$scratch/ma")" = "$scratch/made.pfx " ] || fail "--out does not complete file names"
[ "$(complete_words ombrel-cli --country '')" = "" ] || fail "--country offers completions"

version=$(env -u LD_LIBRARY_PATH "$prefix/bin/ombrel-cli" --version) || fail "installed ombrel-cli does not run"
[ "$version" = "Ombrel 2.1" ] || fail "installed ombrel-cli --version says '$version'"
programs=(ombrel-cli)
[ "$desktop" = 1 ] && programs+=(ombrel)
for program in "${programs[@]}"; do
  lib=$(realpath -m "$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/$program" | awk '/libcertmgr/ {print $3}')")
  case "$lib" in
    "$prefix/$libdir/"*) ;;
    *) fail "installed $program loads libcertmgr from '$lib', not from the installed tree" ;;
  esac
done

[ "$failures" -eq 0 ] || exit 1
echo "install tree complete and valid"
