# Shared steps of the engine end-to-end scripts (test_engine_*.sh): lab drives
# that make no bit errors of their own, block access to their images, and runs
# with keys sent while the test is running, in a scratch program folder with
# drive 1's image and dump files at $IMAGE, $DUMP1 and $DUMP2.
# Usage: source engine_lib.sh "$@"   (arguments: <ssdtest-lab> <ssdtest> <build dir>)
source "$(dirname "$0")/lib.sh" "$@"
make_scratch "$(basename "$0" .sh)"

BLOCK=1048576
IMAGE="$SCRATCH/lab_drive1.img"
DUMP1="$SCRATCH/drive1_DumpFile1.dat"
DUMP2="$SCRATCH/drive1_DumpFile2.dat"

# kvt_drive NUMBER SIZE_MIB [EXTRA_JSON]: a supported-kind drive entry.
kvt_drive() {
  printf '{"number": %s, "kind": "kvt", "size_mib": %s, "model": "Engine Lab", ' "$1" "$2"
  printf '"serial": "ENG%s", "firmware": "E1", "rber_start": 0, "rber_rated": 0, ' "$1"
  printf '"rber_max": 0%s}' "${3:-}"
}

# run_with_key INPUT PATTERN KEY: runs the lab executable with INPUT, waits
# until its output shows PATTERN, then presses KEY and ends the input.
run_with_key() {
  local fifo="$SCRATCH/input.fifo" log="$SCRATCH/run.out" waited=0
  rm -f "$fifo" "$log"
  mkfifo "$fifo"
  (cd "$SCRATCH" && timeout 600 ./ssdtest-lab <"$fifo" >"$log" 2>&1) &
  local program=$!
  exec 3>"$fifo"
  printf "$1" >&3
  until grep -qF -- "$2" "$log" 2>/dev/null; do
    sleep 0.1
    waited=$((waited + 1))
    if [ $waited -gt 3000 ] || ! kill -0 $program 2>/dev/null; then break; fi
  done
  printf "$3" >&3
  exec 3>&-
  wait $program
  RC=$?
  OUT=$(cat "$log")
}

# block_of FILE INDEX: the INDEX-th MiB of FILE on stdout.
block_of() { dd if="$1" bs=$BLOCK skip="$2" count=1 status=none; }

# same_block FILE INDEX OTHER: block INDEX of FILE equals the 1 MiB file OTHER.
same_block() { cmp -s <(block_of "$1" "$2") "$3"; }

file_size() { stat -c %s "$1"; }

# xor_byte FILE OFFSET MASK: flips the MASK bits of one byte of FILE in place.
xor_byte() {
  local value
  value=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((value ^ $3)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# invert: stdin with every byte inverted, on stdout.
invert() {
  local inverse i
  inverse=$(for ((i = 255; i >= 0; i--)); do printf '\\%03o' $i; done)
  LC_ALL=C tr '\000-\377' "$inverse"
}

# put_block FILE INDEX: stdin becomes block INDEX of FILE.
put_block() { dd of="$1" bs=$BLOCK seek="$2" count=1 iflag=fullblock conv=notrunc status=none; }

# last_log_line: the last line of the drive's result log, without its CR.
last_log_line() { tail -n 1 "$SCRATCH/drive$1_Engine Lab.csv" | tr -d '\r'; }
