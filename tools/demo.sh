#!/usr/bin/env bash
# Converts the Shift_JIS sample to UTF-8 in batch mode, in a scratch folder,
# and shows the report and the start of the result.
#   bash tools/demo.sh <builddir>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-build}" && pwd)"
mojiro="$build/app/mojiro"
[[ -x "$mojiro" ]] || { echo "demo: $mojiro not found; run 'make build' first" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/mojiro-demo.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp "$root/samples/sample-sjis.txt" "$work/"
cd "$work"

echo "\$ mojiro /AUTO /SShift_JIS /OUTF-8 /NLF sample-sjis.txt"
# No display: the report goes to the terminal. Settings stay in the scratch folder.
env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" \
  "$mojiro" /AUTO /SShift_JIS /OUTF-8 /NLF sample-sjis.txt
echo
echo "--- first lines of sample-sjis.txt.utf8 ($(wc -c < sample-sjis.txt.utf8) bytes; input $(wc -c < sample-sjis.txt) bytes) ---"
head -n 8 sample-sjis.txt.utf8
