# The result log's lines are whole or absent: a line cut short is closed and
# never read as data, a full filesystem is reported with the system's reason
# and the log continues once space is freed; SMART that stops answering ends
# the test by itself.
source "$(dirname "$0")/engine_lib.sh" "$@"
mkdir -p "$HOME/My Dropbox/Public"
LOG="$SCRATCH/drive1_Engine Lab.csv"

# data_lines_not_33 FILE: how many data lines do not have 33 fields.
data_lines_not_33() { tail -n +3 "$1" | tr -d '\r' | awk -F, 'NF != 33' | wc -l; }

# A log whose last line was cut inside field 30 (its counters 123 and 789 in
# the line before): the counters of the last complete line carry on.
write_bench "$(kvt_drive 1 8)"
run_lab '1\nN\n0\n'
last=$(last_log_line 1)
sed -i '$d' "$LOG"
printf '%s\r\n' "$(awk -F, -v OFS=, '{ $30 = 123; $31 = 789; print }' <<<"$last")" >>"$LOG"
cut=$(awk -F, -v OFS=, '{ $30 = 123; $31 = 789; print }' <<<"$last")
printf '%s' "${cut%89,*}" >>"$LOG"
run_lab '1\nN\n0\n'
expect_not "the cut line blocks nothing" "getline unknown error"
check "counters of the last complete line" grep -q '^123,789$' <(last_log_line 1 | cut -d, -f30,31)
check "only the cut line lacks fields" [ "$(data_lines_not_33 "$LOG")" = 1 ]

# SMART that stops answering after 20 MiB ends a long test within two rounds.
rm -f "$SCRATCH"/drive1_* "$SCRATCH"/lab_drive1.*
write_bench "$(kvt_drive 1 16 ', "faults": {"smart_fails_after_mib": 20}')"
run_lab '1\nN\n1000\n'
expect "the first failure is said" "SMART Read Failed: drive 1 (Engine Lab) did not answer SMART READ DATA"
expect "the test ends by itself" "SMART Lost: drive 1 has not answered SMART READ DATA for a whole round"
check "within two rounds of the failure" [ "$(grep -c 'Round Finished.' <<<"$OUT")" -le 3 ]

# A program folder on a full filesystem (root only: a small tmpfs).
FULL="$SCRATCH/full"
mkdir -p "$FULL"
# Room for the programs (much larger in a sanitizer build) and 16 MiB more.
programs_kib=$(du -kL "$SCRATCH/ssdtest-lab" "$SCRATCH/GaugeLens_2_21.exe" | awk '{n += $1} END {print n}')
if mount -t tmpfs -o size=$((programs_kib + 16384))k tmpfs "$FULL" 2>/dev/null; then
  trap 'umount "$FULL"; [ $FAILURES -eq 0 ] && rm -rf "$SCRATCH"' EXIT
  check "the programs fit on the small filesystem" cp "$SCRATCH/ssdtest-lab" "$SCRATCH/GaugeLens_2_21.exe" "$FULL/"
  export SSDLAB_DIR="$SCRATCH"
  write_bench "$(kvt_drive 1 8)"
  rm -f "$SCRATCH"/lab_drive1.*
  FULL_LOG="$FULL/drive1_Engine Lab.csv"
  fill() { dd if=/dev/zero of="$FULL/filler" bs=4k status=none 2>/dev/null; }
  run_full() { OUT=$(cd "$FULL" && printf "$1" | timeout 600 ./ssdtest-lab 2>&1); }

  fill
  run_full '1\nN\n0\n'
  expect "a new log on a full filesystem" "Log Write Failed: No space left on device"
  check "the incomplete log is removed" [ ! -e "$FULL_LOG" ]
  rm "$FULL/filler"
  run_full '1\nN\n0\n'
  expect "space freed: a new log" "Log not Exist"
  # Copies of the last line leave less room in the log's last page than a
  # line needs, so the next line meets the full filesystem.
  last=$(tail -n 1 "$FULL_LOG")
  while [ $(($(stat -c %s "$FULL_LOG") % 4096)) -lt 4036 ]; do printf '%s\n' "$last" >>"$FULL_LOG"; done
  lines=$(wc -l <"$FULL_LOG")

  fill
  run_full '1\nN\n0\n'
  expect "a line that does not fit" "Log Write Failed: No space left on device"
  expect "the drive is not written without its records" "Records Not Written"
  check "the log keeps whole lines only" [ "$(wc -l <"$FULL_LOG")" = "$lines" ]
  rm "$FULL/filler"
  run_full '1\nN\n0\n'
  expect_not "space freed: the log continues" "Log not Exist"
  expect_not "no log failure" "Log Write Failed"
  check "one more line" [ "$(wc -l <"$FULL_LOG")" = $((lines + 1)) ]
  check "every data line whole" [ "$(data_lines_not_33 "$FULL_LOG")" = 0 ]
else
  echo "full filesystem case skipped: no tmpfs mount (needs root)"
fi

finish
