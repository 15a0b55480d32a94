#!/usr/bin/env bash
# Signs a Windows program in place with osslsigncode (Authenticode):
#   sign.sh FILE [osslsigncode sign options ...]
# A program that could not be signed is deleted, so the build stops here and links it again next time
# instead of going on with an unsigned file.
set -uo pipefail
file=$1
shift
if ! osslsigncode sign "$@" -in "$file" -out "$file.signed" >"$file.sign.log" 2>&1; then
  cat "$file.sign.log" >&2
  echo "sign: osslsigncode could not sign $file (its messages are above); the file is deleted" >&2
  rm -f "$file" "$file.signed" "$file.sign.log"
  exit 1
fi
rm -f "$file.sign.log"
mv -f "$file.signed" "$file"
