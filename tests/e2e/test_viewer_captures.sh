#!/usr/bin/env bash
# A full lab run files one viewer capture per round, plus the one taken when
# the result log was created.
source "$(dirname "$0")/lib.sh" "$@"

make_scratch viewer_captures
check "stand-in viewer built" test -x "$SCRATCH/GaugeLens_2_21.exe"
write_bench '
  { "number": 1, "kind": "kvt", "size_mib": 8, "model": "Lab KVT Captures", "serial": "CAP1", "firmware": "1.0", "write_amplification": 1.2 }'

run_lab '1\nN\n3\n'
rounds=$(( $(grep -c "Round Finished." <<<"$OUT") + 1 ))
check "several rounds ran" test "$rounds" -ge 3
expect_not "every capture succeeded" "RunGaugeLens Failed."
for kind in data.txt bank.csv block.csv; do
  n=$(find "$SCRATCH" -maxdepth 1 -name "drive1_*T*_$kind" | wc -l)
  check "one $kind per round plus the first ($n for $rounds rounds)" test "$n" = $((rounds + 1))
done
for data in "$SCRATCH"/drive1_*_data.txt; do
  check "$data ends with the text's NUL" test "$(tail -c 1 "$data" | od -An -tx1 | tr -d ' ')" = 00
done
check "the viewer's own files were all moved away" test -z "$(find "$SCRATCH" -maxdepth 1 -name 'drive1_CAP1_*')"

finish
