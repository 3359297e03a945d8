#!/usr/bin/env bash
# The operator's dialogue: menu, prompts with their re-prompts, refusals and
# the messages of opening a drive.
source "$(dirname "$0")/lib.sh" "$@"

make_scratch dialogue
write_bench '
  { "number": 0, "kind": "plain", "size_mib": 8, "model": "Lab System Disk", "serial": "SYS0", "firmware": "1.0", "partitions": 1 },
  { "number": 1, "kind": "kvt", "size_mib": 8, "model": "Lab KVT 8M", "serial": "KVT1", "firmware": "2.0" },
  { "number": 3, "kind": "kvt", "size_mib": 8, "model": "Lab KVT Parted", "serial": "KVT3", "firmware": "2.0", "partitions": 1 },
  { "number": 4, "kind": "kvt", "size_mib": 8, "model": "Lab KVT Blank", "serial": "KVT4", "firmware": "2.0", "partition_entries": 4 },
  { "number": 5, "kind": "kvt", "size_mib": 8, "model": "Lab KVT Gone", "serial": "KVT5", "firmware": "2.0", "faults": { "open_fails": true } }'

# Re-prompts: "x" at the drive prompt, "no" at the mode prompt.
run_lab 'x\n3\nno\n1\n'
expect "menu line" "Drive #0 Name: Lab System Disk  Serial: SYS0"
expect "menu line" "Drive #1 Name: Lab KVT 8M  Serial: KVT1"
expect "drive prompt asked again" "Input Drive Number: Invalid Value."
expect_count "one rejection per bad answer" 2 "Invalid Value."
expect "target prompt" "Input Average Erase Count Target: "
expect "partition count" "Partition Num = 1"
expect "partitioned drive refused" "Drive contains partitions"
expect "final wait" "Press Any Key To Finish."
check "exit code 0 after a failure" test "$RC" = 0
check "no block written on a partitioned drive" test ! -s "$SCRATCH/lab_drive3.img" -o "$(tr -d '\0' <"$SCRATCH/lab_drive3.img" | wc -c)" = 0

# An uninitialised layout of four unused entries passes; size in decimal GB.
run_lab '4\nN\n0\n'
expect "device path" "lab_drive4.img Open OK"
expect "size in decimal GB" "Size = 0.00838861[GB]"
expect "unused entries do not count" "Partition Num = 0"
expect_not "opened" "Drive contains partitions"

# A drive whose data cannot be opened.
run_lab '5\nN\n0\n'
expect "open failure" "CreateFile failed"
expect_not "nothing else printed by opening" "Open OK"

# A number no disk has, and a drive of an unrecognised kind.
run_lab '9\nY\n'
expect "unknown drive" "Drive Not Found"
run_lab '0\nY\n'
expect "plain drive is not recognised" "Drive Not Found"

# Input that ends in the middle of the dialogue gives up with one line.
run_lab '1\n'
expect "gives up" "Console input ended; no answer to the prompt."
expect "final wait still printed" "Press Any Key To Finish."
check "exit code 0 when input ends" test "$RC" = 0

# Without a bench file the lab writes its default bench: a system disk, a
# drive of the supported kind and one of the second kind, which is refused.
rm -f "$SCRATCH/ssdlab.json"
run_lab '2\nY\n'
check "default bench written" test -s "$SCRATCH/ssdlab.json"
expect "default menu" "Drive #0 Name: "
expect "default menu" "Drive #1 Name: "
expect "default menu" "Drive #2 Name: "
expect "second controller kind refused" "Drive Not KVT"
expect_not "refused before opening" "Open OK"

# A bench file the lab cannot use names its fault before the failure line.
write_bench '{ "number": 1, "kind": "kvx" }'
run_lab '1\nN\n1\n'
expect "reason for the empty menu" 'ssdlab.json: drives[0]: "kind" must be'
expect "menu failure" "GetDiskState Failed"

finish
