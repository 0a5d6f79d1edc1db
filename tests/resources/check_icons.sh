#!/usr/bin/env bash
# The committed icons are exactly what the icon script draws.
set -euo pipefail
source_dir=${1:?source folder}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 "$source_dir/tools/make_icons.py" "$out"
diff -r "$source_dir/src/resources/icons" "$out"
echo "icons match tools/make_icons.py"
