# A transfer that never completes: after "GetQueuedCompletionStatus Failed1"
# the stalled transfer is cancelled and reaped at once (a reap that timed out
# would add 10 s and keep its buffers), and the program ends cleanly; under
# LeakSanitizer a kept buffer would turn the exit code non-zero.
source "$(dirname "$0")/engine_lib.sh" "$@"

write_bench "$(kvt_drive 1 4 ', "faults": {"stall_at_mib": [2]}')"
started=$SECONDS
run_lab '1\nN\n1\n'
took=$((SECONDS - started))
expect "time-out reported" "GetQueuedCompletionStatus Failed1"
expect "final wait" "Press Any Key To Finish."
check "exit code 0 (got $RC)" [ "$RC" = 0 ]
check "ended soon after the 10 s time-out (took ${took}s)" [ "$took" -lt 18 ]

finish
