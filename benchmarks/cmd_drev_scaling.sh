#!/usr/bin/env bash
# Thread scaling of full cmd_drev runs (scattering step and pattern step) on
# two fcc Cu(001) hemisphere clusters, 155 and 250 atoms around an emitter at
# the centre of the surface, with the copper example's emitter, phase-shift
# and fluctuation documents (examples/copper), single and multiple
# scattering. Each case runs with OMP_NUM_THREADS=1 and with every core
# (nproc); the best wall time of REPEATS runs counts.
#
# Usage: benchmarks/cmd_drev_scaling.sh [build dir]
#   build dir: the argument, else LW_BUILD_DIR, else <repo>/build; configured
#   (RelWithDebInfo) when it has no CMake cache yet. cmd_drev and make_example
#   are built there first.
# Environment: REPEATS (default 3), ATOMS (default "155 250"),
#   METHODS (default "SINGLE MULTI"), CMD_DREV (another cmd_drev binary to
#   time, e.g. an older build's; the clusters still come from this build's
#   make_example). OMP_WAIT_POLICY and the other OpenMP settings pass through
#   to cmd_drev; on a loaded machine the threads' spinning at the end of
#   each parallel region can cost more than the work (try passive).
#
# Prints per case t1, tn (seconds) and the parallel efficiency t1 / (n tn).
# Not part of the test suite.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${LW_BUILD_DIR:-$top/build}}
mkdir -p "$build"
build=$(cd "$build" && pwd)
repeats=${REPEATS:-3}
atoms_list=${ATOMS:-155 250}
methods=${METHODS:-SINGLE MULTI}
n=$(nproc)
ex="$top/examples/copper"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target cmd_drev make_example >/dev/null
drev=${CMD_DREV:-$build/apps/cmd_drev/cmd_drev}
make_example="$build/examples/make_example"

work=$(mktemp -d "${TMPDIR:-/tmp}/cmd_drev_scaling.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Wall time (s) of one cmd_drev run with $1 threads on cluster $2, method $3:
# from the program's start to its end, taken by a small Python timer around
# the spawn. Timing a subshell with date(1) would add the shell's fork and
# date's own start, over 10 ms on a small VM, to every run.
run_once() {
  local threads=$1 cluster=$2 method=$3
  OMP_NUM_THREADS=$threads python3 - "$work" "$drev" -C "$cluster" -F "$ex/emitter.xml_emt" \
    -P "$ex/phaseshift.xml_ph" -W scatteredwave.xml_sf -T "$ex/fluctuation.xml_flu" \
    -I azmap.xml_img -I0 azmap_i0.xml_img -R 1 -MS "$method" <<'PY' || {
import subprocess, sys, time
work, argv = sys.argv[1], sys.argv[2:]
with open(work + "/console.txt", "wb") as console:
    start = time.perf_counter()
    code = subprocess.run(argv, cwd=work, stdout=console, stderr=subprocess.STDOUT).returncode
    end = time.perf_counter()
if code != 0:
    sys.exit(1)
print("%.4f" % (end - start))
PY
    echo "cmd_drev failed (threads $threads, $method, $cluster):" >&2
    tail -n 20 "$work/console.txt" >&2
    exit 1
  }
}

# Best wall time of $repeats runs.
best_of() {
  local best="" t
  for ((r = 0; r < repeats; ++r)); do
    t=$(run_once "$@")
    best=$(echo "$best $t" | awk '{ if (NF == 1 || $2 < $1) print $NF; else print $1 }')
  done
  echo "$best"
}

echo "cmd_drev scaling: $drev"
echo "n = $n threads, best of $repeats, OMP_WAIT_POLICY=${OMP_WAIT_POLICY:-(unset)}," \
  "load before: $(uptime | sed 's/.*load average: //')"
printf '%-6s %-7s %9s %9s %9s %11s\n' atoms method t1/s tn/s t1/tn 't1/(n*tn)'
for atoms in $atoms_list; do
  mkdir -p "$work/cluster$atoms"
  "$make_example" --hemisphere "$atoms" "$work/cluster$atoms" >"$work/cluster$atoms/make_example.txt"
  cluster="$work/cluster$atoms/cluster.xml_cl"
  for method in $methods; do
    t1=$(best_of 1 "$cluster" "$method")
    tn=$(best_of "$n" "$cluster" "$method")
    echo "$atoms $method $t1 $tn $n" |
      awk '{ printf "%-6s %-7s %9.4f %9.4f %9.2f %11.3f\n", $1, $2, $3, $4, $3 / $4, $3 / ($5 * $4) }'
  done
done
