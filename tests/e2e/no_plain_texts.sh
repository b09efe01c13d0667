#!/usr/bin/env bash
# no_plain_texts.sh PROGRAM TEXT...: fails when any TEXT is in PROGRAM, in UTF-8 or in code
# page 936, and checks that the search is not fooled: the search host, which the program does
# carry in plain form, must be found.
set -euo pipefail
program=$1
shift
export LC_ALL=C
found=0
for text in "$@"; do
  for encoding in UTF-8 GBK; do
    bytes=$(printf '%s' "$text" | iconv -f UTF-8 -t "$encoding")
    if grep -qaF -- "$bytes" "$program"; then
      echo "plain text in the program ($encoding): $text"
      found=1
    fi
  done
done
grep -qaF -- "/s/" "$program" || { echo "the search is broken: /s/ not found"; exit 1; }
exit $found
