#!/usr/bin/env bash
# Prints the HTTP client's four performance ratios, each against its baseline measured in the
# same run: a 256 MiB download against curl (time and peak memory), 2,000 small GETs against
# plain libcurl, mergeCookies' cost per piece from 1,000 to 100,000 pieces, and charset
# conversion of 64 MiB against iconv. Lines starting with "RATIO" carry the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target http_ratios
exec build/release/bench/http/http_ratios
