# A new result log on a first run, its data lines over a normal test to an AEC
# target, its copy in the shared folder, and its continuation by a second run.
source "$(dirname "$0")/tracking_lib.sh" "$@"

MODEL="KVT Lab  SSD 24"
LOG="$SCRATCH/drive1_$MODEL.csv"
COPY="$SHARED_FOLDER/drive1_$MODEL.csv"
write_bench "$(lab_drive 0 plain 16 'Plain Disk')" "$(lab_drive 1 kvt 24 "$MODEL")"
mkdir -p "$SHARED_FOLDER"

# First run: a normal test to AEC 3.
run_lab_ok '1\nN\n3\n'
[ "$(output_count 'Log not Exist')" -eq 1 ] || fail "first run did not report the new log"
[ -f "$LOG" ] || fail "no log named drive1_<model with its blanks>.csv"
check_crlf "$LOG"
check_data_lines "$LOG"

# The first data line: zero last-round rates, restored counters and speeds.
for field in 26 27 28 29 30 31 32; do
    [ "$(field_of 3 $field "$LOG")" = 0 ] || fail "first data line field $field is not 0"
done

# One data line per round after the first one, and the test ends after the
# round in which AEC reached 3 (a small drive has no in-round status checks).
ROUNDS=$(($(output_count 'Round Finished.') + 1))
[ "$(line_count "$LOG")" -eq $((3 + ROUNDS)) ] || fail "expected $ROUNDS round lines"
LAST=$(line_count "$LOG")
[ "$(field_of "$LAST" 1 "$LOG")" -ge 3 ] || fail "test ended below the AEC target"
if [ "$ROUNDS" -gt 1 ]; then
    [ "$(field_of $((LAST - 1)) 1 "$LOG")" -lt 3 ] || fail "test ran a round past the target"
fi
[ "$(output_count 'RBER: ')" -eq "$ROUNDS" ] || fail "expected one RBER line per round"
# Each round's printed rate is the last-round rate of its line.
grep '^RBER: ' "$LAST_OUTPUT" | cut -c7- > "$SCRATCH/printed.txt"
awk -F, 'NR > 3 { sub(/\r$/, ""); print $27 }' "$LOG" > "$SCRATCH/logged.txt"
cmp -s "$SCRATCH/printed.txt" "$SCRATCH/logged.txt" || fail "RBER lines differ from the log"
output_has 'Copy Failed' && fail "copy to the shared folder failed"
cmp -s "$LOG" "$COPY" || fail "shared copy differs from the log"

# Second run: the log is continued from counters edited into its last line.
awk -F, -v OFS=, -v last="$LAST" 'NR == last { $30 = "77"; $31 = "5" } { print }' "$LOG" \
    > "$SCRATCH/edited.csv" && mv "$SCRATCH/edited.csv" "$LOG"
check_crlf "$LOG"
TARGET=$(($(field_of "$LAST" 1 "$LOG") + 1))
run_lab_ok "1\nN\n$TARGET\n"
output_has 'Log not Exist' && fail "second run reported a new log"
[ "$(grep -cF "$TRACKING_TITLE" "$LOG")" -eq 1 ] || fail "second run wrote a header again"
[ "$(line_count "$LOG")" -gt "$LAST" ] || fail "second run appended nothing"
check_crlf "$LOG"
check_data_lines "$LOG"
NEXT=$((LAST + 1))
[ "$(field_of $NEXT 29 "$LOG")" -ge 77 ] || fail "uncorrectable bit error count not restored"
[ "$(field_of $NEXT 30 "$LOG")" -ge 5 ] || fail "sector fail count not restored"
cmp -s "$LOG" "$COPY" || fail "shared copy differs from the continued log"

# A read-only run adds exactly one line, with no write speed.
BEFORE=$(line_count "$LOG")
# (No line end after the answer: a character left waiting would abandon the test.)
run_lab_ok '1\nY'
output_has 'Interrupted' && fail "read-only run was interrupted"
[ "$(line_count "$LOG")" -eq $((BEFORE + 1)) ] || fail "read-only run did not add one line"
[ "$(field_of $((BEFORE + 1)) 32 "$LOG")" = 0 ] || fail "read-only line has a write speed"
[ "$(field_of $((BEFORE + 1)) 29 "$LOG")" -ge 77 ] || fail "read-only run lost the counters"
check_crlf "$LOG"
check_data_lines "$LOG"
cmp -s "$LOG" "$COPY" || fail "shared copy differs after the read-only run"
echo "PASS"
