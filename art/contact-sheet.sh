#!/bin/sh
# Composites all 20 flights over the stock fake desktop into one labelled PNG and prints its path.
# Usage: art/contact-sheet.sh [DATA_DIR [OUT_PNG]]   (default DATA_DIR: build/cross/data)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data_dir=${1:-"$here/../build/cross/data"}
out=${2:-"$data_dir/../contact-sheet.png"}
if [ ! -f "$data_dir/screen.jpg" ]; then
  echo "contact-sheet: no built pictures in $data_dir (build the 'art' target first)" >&2
  exit 1
fi
PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 "$here/contact_sheet.py" "$data_dir" "$out"
cd "$(dirname "$out")" && echo "$(pwd)/$(basename "$out")"
