#!/usr/bin/env bash
# Redraws the program's pictures and icons into resources/ (or into the folder given).
# Their output is committed; the normal build never runs this.
# Debian's python3-pil belongs to the system interpreter, so that is the one we use
# unless PYTHON names another that has Pillow.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
python="${PYTHON:-/usr/bin/python3}"
out="${1:-$here/../../resources}"
mkdir -p "$out"
exec "$python" "$here/generate.py" "$out"
