#!/usr/bin/env bash
# Runs the README's five-minute tour as a newcomer would: every command of the first sh block
# under its heading, from a scratch folder where demo/ is the repository's and qvusb is on
# PATH. Fails at the first command that does not exit 0.
#
#   ReadmeTour.sh README QVUSB_FOLDER DEMO_FOLDER
set -euo pipefail
readme=$1 programs=$2 demo=$3
block=$(awk '/^## A five-minute tour/ { tour = 1 }
             tour && /^```sh$/ { inside = 1; next }
             inside && /^```$/ { exit }
             inside' "$readme")
[ -n "$block" ] || { echo "$readme has no tour"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$demo" "$work/demo"
cd "$work"
export PATH="$programs:$PATH"
while IFS= read -r command; do
    [[ -z $command || $command == \#* ]] && continue
    echo "\$ $command"
    bash -e -o pipefail -c "$command" || { echo "The tour stops at: $command"; exit 1; }
done <<< "$block"
