#!/usr/bin/env bash
# Analyses one inventory with the Linux zarn and with the Windows zarn.exe
# under Wine, and fails unless both write the same lines (level and text, in
# order) and end with the same exit status.
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

cat "$outputs/linux"
diff -u --label Linux --label Windows "$outputs/linux" "$outputs/windows"
