#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# The library's dynamic symbol table must define the four C functions and nothing else.
set -eu
expected="CertMgr_Create
CertMgr_Destroy
CertMgr_Do
CertMgr_GetLastError"
actual=$(nm -D --defined-only "$1" | awk '{ print $NF }' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the four functions:" >&2
  echo "$actual" >&2
  exit 1
fi
