# A normal test to its end leaves dump files holding the pattern of every
# written block; read-only tests verify the drive against dump file 1, count
# corrupted blocks, and refuse a missing or short dump file.
source "$(dirname "$0")/engine_lib.sh" "$@"

write_bench "$(kvt_drive 1 8)"
# The last MiB of the drive carries a marker that no test may touch.
head -c $((7 * BLOCK)) /dev/zero >"$IMAGE"
head -c $BLOCK /dev/zero | tr '\000' 'M' >>"$IMAGE"
cp "$IMAGE" "$SCRATCH/original.img"

# Normal test with target 0: one round, then the dump files.
run_lab '1\nN\n0\n'
expect "normal test starts" "Start Normal Test."
expect_count "one round only" 0 "Round Finished."
expect_count "no verification errors" 0 "Verify : "
expect "round rate" "RBER: "
check "dump file 1 is one block" [ "$(file_size "$DUMP1")" = $BLOCK ]
check "dump file 2 is one block" [ "$(file_size "$DUMP2")" = $BLOCK ]
for i in 0 1 2 3 4 5 6; do
  check "block $i holds the dump 1 pattern" same_block "$IMAGE" $i "$DUMP1"
done
check "last block untouched" cmp -s <(block_of "$IMAGE" 7) <(block_of "$SCRATCH/original.img" 7)
check "dump 2 of a single round is zero-filled" cmp -s "$DUMP2" <(head -c $BLOCK /dev/zero)
check "no temporary dump files left" [ -z "$(ls "$SCRATCH" | grep '\.tmp$')" ]

# Read-only test of the intact drive: nothing to report. (No line end after
# the answer: a character left waiting would abandon the test.)
run_lab '1\nY'
expect "read-only test starts" "Start Read Only Test."
expect_count "intact drive" 0 "Verify : "
expect "read-only round rate" "RBER: "
check "read-only result line has write speed 0" \
  grep -q ',0$' <(last_log_line 1)

# Corrupt two blocks: one bit in the last byte of block 2, every byte of block 5.
xor_byte "$IMAGE" $((3 * BLOCK - 1)) 16
invert <"$DUMP1" | put_block "$IMAGE" 5
run_lab '1\nY'
expect_count "two damaged blocks" 2 "Verify : "
expect "one bit, one sector" "Verify : 1 1"
expect "whole block inverted" "Verify : 8388608 2048"
check "damaged blocks in drive order" \
  [ "$(grep -F 'Verify : ' <<<"$OUT" | head -n 1)" = "Verify : 1 1" ]

# A missing dump file ends the test before any block is read.
mv "$DUMP1" "$SCRATCH/saved.dat"
run_lab '1\nY'
expect "missing dump file" "Dump File Open Failed:2"
expect_not "nothing read" "Start Read Only Test."

# A short dump file likewise, with its length.
head -c 1000 "$SCRATCH/saved.dat" >"$DUMP1"
run_lab '1\nY'
expect "short dump file" "Dump File Read Failed:1000"
expect_not "nothing read" "Start Read Only Test."

finish
