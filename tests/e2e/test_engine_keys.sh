# Operator keys during a normal test: "e" finishes the round, any other key
# abandons after the batch, and a key waiting before the first block gives an
# empty batch that writes nothing.
source "$(dirname "$0")/engine_lib.sh" "$@"

# Every written block of the drive holds dump 1's pattern up to some block and
# dump 2's pattern from there on (blocks 0 to 6 of an 8 MiB drive).
check_pattern_split() {
  local i in_second=0
  for i in 0 1 2 3 4 5 6; do
    if [ $in_second -eq 0 ] && same_block "$IMAGE" $i "$DUMP1"; then continue; fi
    in_second=1
    same_block "$IMAGE" $i "$DUMP2" || return 1
  done
}

# "e" during the second round: that round runs to the end of the drive.
write_bench "$(kvt_drive 1 8)"
run_with_key '1\nN\n100\n' "Round Finished." e
expect "key seen" "Interrupted"
expect "finish message" "Finish on this round"
expect_not "not abandoned" "Drive Not"
expect "test ends" "Press Any Key To Finish."
ROUNDS=$(($(grep -cF "Round Finished." <<<"$OUT") + 1))
expect_count "every round ran to the end of the drive" $ROUNDS "RBER: "
for i in 0 1 2 3 4 5 6; do
  check "block $i holds the last round's pattern" same_block "$IMAGE" $i "$DUMP1"
done

# Any other key abandons the test; the drive holds the last two patterns.
rm -f "$SCRATCH"/drive1_* "$SCRATCH"/lab_drive1.*
run_with_key '1\nN\n100\n' "Round Finished." q
expect "key seen" "Interrupted"
expect_not "no finish message" "Finish on this round"
expect "test ends" "Press Any Key To Finish."
check "dump file 1 is one block" [ "$(file_size "$DUMP1")" = $BLOCK ]
check "dump file 2 is one block" [ "$(file_size "$DUMP2")" = $BLOCK ]
check "written blocks hold dump 1, the rest dump 2" check_pattern_split

# A key already waiting when the test starts: nothing is written or read.
rm -f "$SCRATCH"/drive1_* "$SCRATCH"/lab_drive1.*
run_lab '1\nN\n5\nq'
expect "key seen" "Interrupted"
expect "normal test starts" "Start Normal Test."
expect_not "no round rate" "RBER: "
expect_not "no next round" "Round Finished."
check "result line with both speeds 0" grep -q ',0,0$' <(last_log_line 1)
check "nothing written" cmp -s "$IMAGE" <(head -c $((8 * BLOCK)) /dev/zero)
check "no dump files for a test that wrote nothing" [ ! -e "$DUMP1" ]

finish
