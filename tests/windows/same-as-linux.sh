#!/usr/bin/env bash
# Analyses one inventory with the Linux zarn and with the Windows zarn.exe
# under Wine, and fails unless both write the same lines (level and text, in
# order) and the same page (zarn report -o, byte for byte, its style and
# script with the hashes its policy names), and end with the same exit
# statuses.
#   same-as-linux.sh LINUX_ZARN WINE_RUN ZARN_EXE INVENTORY
set -uo pipefail
linux_zarn=$1 wine_run=$2 zarn_exe=$3 inventory=$4

outputs=$(mktemp -d)
trap 'rm -rf "$outputs"' EXIT

"$linux_zarn" analyze "$inventory" --format jsonl >"$outputs/linux"
echo "exit status $?" >>"$outputs/linux"
# Under Wine the inventory's path is a Windows path on drive Z:, and the
# program ends its lines the Windows way.
"$wine_run" "$zarn_exe" analyze "Z:${inventory//\//\\}" --format jsonl | sed 's/\r$//' >"$outputs/windows"
echo "exit status ${PIPESTATUS[0]}" >>"$outputs/windows"

# The page names the inventory as given: the same relative name for both.
cd "$(dirname "$inventory")" || exit 1
name=$(basename "$inventory")
"$linux_zarn" report "$name" -o "$outputs/linux.html"
echo "report's exit status $?" >>"$outputs/linux"
"$wine_run" "$zarn_exe" report "$name" -o "Z:${outputs//\//\\}\\windows.html"
echo "report's exit status $?" >>"$outputs/windows"

cat "$outputs/linux"
diff -u --label Linux --label Windows "$outputs/linux" "$outputs/windows" &&
  cmp "$outputs/linux.html" "$outputs/windows.html"
