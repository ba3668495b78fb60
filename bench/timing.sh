# SPDX-License-Identifier: Apache-2.0
# Timing helpers of the benchmark scripts (sourced).

# Seconds a command takes, to the millisecond; its standard output is dropped
# and a failure is said on standard error (the scripts check their results).
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null || echo "bench: $* failed" >&2
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

# The smaller of a best time so far ($1, 0 for none) and a new one ($2).
best() { if [ "$1" = 0 ] || (($(echo "$2 < $1" | bc -l))); then echo "$2"; else echo "$1"; fi; }
