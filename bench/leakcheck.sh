#!/usr/bin/env bash
# The leak check of ./run bench: the memory run, shorter, under valgrind's memcheck. Prints one
# line: the bytes definitely and indirectly lost (goal: none).
set -euo pipefail
program=$1
lookups=${2:-50}
sales=${3:-10}
label="Fuites (valgrind memcheck, $lookups recherches et $sales ventes)"
if ! command -v valgrind >/dev/null; then
    echo "$label : non mesuré (valgrind absent)"
    exit 0
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
valgrind --leak-check=full --show-leak-kinds=definite,indirect --log-file="$log" \
    "$program" "$lookups" "$sales" >/dev/null 2>&1 || true
definite=$(sed -n 's/.*definitely lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tr -d ,)
indirect=$(sed -n 's/.*indirectly lost: \([0-9,]*\) bytes.*/\1/p' "$log" | tr -d ,)
if grep -q 'All heap blocks were freed' "$log"; then
    definite=0 indirect=0
fi
if [ -z "$definite" ] || [ -z "$indirect" ]; then
    echo "$label : non mesuré (rapport de valgrind illisible)"
elif [ "$definite" = 0 ] && [ "$indirect" = 0 ]; then
    echo "$label : aucune (objectif : aucune) atteint"
else
    echo "$label : $definite octets perdus, $indirect perdus indirectement (objectif : aucune) non atteint"
    grep -A 12 'definitely lost in\|indirectly lost in' "$log" | head -60 >&2
fi
