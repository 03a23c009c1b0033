#!/usr/bin/env bash
# What a launch costs: Start.exe's default launch (no settings file) against a
# bare program that makes the same CreateProcessA call and nothing else, both
# under Wine. Reports the median wall times and their ratio, the DLLs each
# process loads, and the bytes of each build beside its icon images, version
# information and manifest.
#
#   bench/launch_cost.sh
#
# RUNS (40 per program), ROUNDS (8), WARMUP (5) and MAX_RATIO (1.10) may be
# set in the environment.
# Exits non-zero when the launcher misses a target: a ratio above MAX_RATIO,
# or a DLL loaded beyond the bare program's.
set -euo pipefail
began=$SECONDS
cd "$(dirname "$0")/.."
repo=$PWD
runs=${RUNS:-40}
rounds=${ROUNDS:-8}
warmup=${WARMUP:-5}
max_ratio=${MAX_RATIO:-1.10}
out=$repo/build/bench

say() { printf '\n== %s\n' "$*"; }

# --- Tools -------------------------------------------------------------------
wine64=/usr/lib/wine/wine64
missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v x86_64-w64-mingw32-gcc >/dev/null || missing+=(gcc-mingw-w64-x86-64)
command -v wrestool >/dev/null || missing+=(icoutils)
command -v python3 >/dev/null || missing+=(python3)
[[ -x $wine64 ]] || missing+=(wine64)
command -v wineserver >/dev/null || missing+=(wine)
if ((${#missing[@]})); then
  if ((EUID != 0)); then
    echo "Missing: ${missing[*]} (install them with apt-get as root)" >&2
    exit 2
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# --- Programs ----------------------------------------------------------------
launcher=$repo/build/windows-x64/Start.exe
if [[ ! -f $launcher ]]; then
  say "Building the 64-bit launcher"
  ./scripts/build.sh windows-x64
fi

say "Building the bare program and the target"
mkdir -p "$out/bin"
# The project's own freestanding flags, less its size tuning: the bare
# program is the floor, not a rival.
cflags=(-O2 -Wall -Wextra -ffreestanding -fno-tree-loop-distribute-patterns
        -fno-stack-protector -fno-asynchronous-unwind-tables
        -nostdlib -nostartfiles -s "-Wl,--subsystem,windows" "-Wl,-e,BenchEntry")
x86_64-w64-mingw32-gcc "${cflags[@]}" -o "$out/bin/bare.exe" bench/bare_launch.c -lkernel32
x86_64-w64-mingw32-gcc "${cflags[@]}" -DBENCH_TARGET -o "$out/bin/target.exe" \
  bench/bare_launch.c -lkernel32
stat -c "  %s bytes  %n" "$out/bin/bare.exe" "$out/bin/target.exe"

# No blank anywhere in the media path: the launcher would quote its default
# target and the bare program would not, and the two command lines would
# differ.
scratch=$(mktemp -d /tmp/launch-cost.XXXXXX)
media=$scratch/media
mkdir -p "$media/CD" "$media/bare" "$media/Installer"
cp "$launcher" "$media/CD/Start.exe"
cp "$out/bin/bare.exe" "$media/bare/Start.exe"
cp "$out/bin/target.exe" "$media/Installer/Start.exe"

# --- Wine --------------------------------------------------------------------
export WINEPREFIX=$out/wineprefix
export WINELOADER=$wine64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
# No display: nothing may open a window or talk to an X server mid-run.
unset DISPLAY WAYLAND_DISPLAY

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  say "Creating the Wine prefix (once): $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wine64" wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# One server for the whole measurement, so that no run pays for starting it.
wineserver -f -p >/dev/null 2>&1 &
server=$!
cleanup() {
  # -k, not a signal to the server alone: Wine's services (services.exe,
  # winedevice.exe, ...) outlive a server that is merely killed.
  wineserver -k 2>/dev/null || kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  [[ -n ${KEEP_SCRATCH:-} ]] || rm -rf "$scratch"
}
trap cleanup EXIT
# Wait for its socket, or the first client would start a server of its own.
# The server works in the folder that holds it (where depends on the build).
socket=/proc/$server/cwd/socket
for _ in $(seq 100); do
  [[ -S $socket ]] && break
  kill -0 "$server" 2>/dev/null || {
    echo "wineserver did not start; is one left running for $WINEPREFIX?" \
      "(end it with: WINEPREFIX=$WINEPREFIX wineserver -k)" >&2
    exit 2
  }
  sleep 0.1
done
[[ -S $socket ]] || { echo "wineserver made no socket" >&2; exit 2; }

# The first process on a fresh server also brings up Wine's services
# (wineboot, services.exe, ...); later runs find them running.
say "Warming up"
for _ in 1 2 3; do
  "$wine64" "$media/CD/Start.exe"
  "$wine64" "$media/bare/Start.exe"
done
sleep 1

# --- DLLs --------------------------------------------------------------------
# One traced run of each; it also shows that each really starts the target.
say "DLLs loaded (WINEDEBUG=+loaddll)"
for name in CD bare; do
  WINEDEBUG=-all,+loaddll "$wine64" "$media/$name/Start.exe" 2>"$scratch/$name.loaddll" ||
    { echo "$name/Start.exe failed" >&2; exit 2; }
  # The target writes to the same file, possibly after its starter has ended.
  for _ in $(seq 100); do
    grep -qi 'Installer\\\\Start\.exe' "$scratch/$name.loaddll" && break
    sleep 0.1
  done
  sleep 0.3
done

dll_report=$scratch/dlls.txt
python3 - "$scratch/CD.loaddll" "$scratch/bare.loaddll" >"$dll_report" <<'EOF'
import ntpath, re, sys

LOADED = re.compile(r'^([0-9a-f]+):trace:loaddll:\S+ Loaded L"([^"]+)"', re.M)

def own_loads(log_file, folder):
    """The DLLs of the started process alone: the first Loaded line names its
    exe, and its DLLs carry the same thread-id prefix."""
    with open(log_file, encoding="utf-8", errors="replace") as log:
        loads = [(t, p.replace("\\\\", "\\")) for t, p in LOADED.findall(log.read())]
    if not loads:
        sys.exit(f"no Loaded lines in {log_file}")
    thread, exe = loads[0]
    if not exe.lower().endswith(f"\\{folder}\\start.exe"):
        sys.exit(f"first Loaded line in {log_file} is not the exe: {exe}")
    if not any(p.lower().endswith("\\installer\\start.exe") for t, p in loads if t != thread):
        sys.exit(f"{log_file}: the target was never loaded, so nothing was started")
    return [p for t, p in loads[1:] if t == thread]

launcher = own_loads(sys.argv[1], "cd")
bare = own_loads(sys.argv[2], "bare")
names = lambda paths: [ntpath.basename(p).lower() for p in paths]
beyond = [p for p in launcher if p.lower() not in {q.lower() for q in bare}]
print("launcher_list=" + " ".join(launcher))
print("bare_list=" + " ".join(bare))
print("launcher_names=" + ", ".join(names(launcher)))
print("bare_names=" + ", ".join(names(bare)))
print("beyond=" + (", ".join(names(beyond)) or "none"))
EOF
report_value() { sed -n "s/^$1=//p" "$dll_report"; }
echo "  launcher: $(report_value launcher_list)"
echo "  bare:     $(report_value bare_list)"
dlls_beyond=$(report_value beyond)
if [[ $dlls_beyond == none ]]; then dll_verdict=PASS; else dll_verdict=FAIL; fi
echo "  beyond the bare program's: $dlls_beyond ($dll_verdict, target: none)"

# --- Timing ------------------------------------------------------------------
# Other work on the machine comes and goes, so the runs are split into rounds
# whose order alternates: a busy spell then weighs on both programs alike.
per_round=$(((runs + rounds - 1) / rounds))
((per_round >= 2)) || per_round=2
((per_round * rounds >= 30)) ||
  echo "Note: fewer than 30 runs each; too few for a result worth quoting." >&2
say "Timing: $((per_round * rounds)) runs each in $rounds rounds of alternating order (hyperfine)"
rm -f "$out"/launch_cost.round*.json
launcher_command="$wine64 $media/CD/Start.exe"
bare_command="$wine64 $media/bare/Start.exe"
for ((round = 1; round <= rounds; ++round)); do
  commands=(-n launcher "$launcher_command" -n bare "$bare_command")
  ((round % 2)) || commands=(-n bare "$bare_command" -n launcher "$launcher_command")
  ((round == 1)) && round_warmup=$warmup || round_warmup=2
  # No shell between hyperfine and wine64: its start-up would only add noise.
  hyperfine -N --style basic --runs "$per_round" --warmup "$round_warmup" \
    --export-json "$out/launch_cost.round$round.json" "${commands[@]}"
done

stats=$(python3 - "$max_ratio" "$out"/launch_cost.round*.json <<'EOF'
import json, statistics, sys
times = {"launcher": [], "bare": []}
round_ratios = []
for file in sys.argv[2:]:
    results = {r["command"]: r for r in json.load(open(file))["results"]}
    for name in times:
        times[name] += results[name]["times"]
    round_ratios.append(results["launcher"]["median"] / results["bare"]["median"])
def ms(values):
    return [f"{v * 1000:.2f}" for v in
            (statistics.median(values), statistics.mean(values), statistics.stdev(values),
             min(values))]
ratio = statistics.median(times["launcher"]) / statistics.median(times["bare"])
print(*ms(times["launcher"]), *ms(times["bare"]), f"{ratio:.3f}",
      "PASS" if ratio <= float(sys.argv[1]) else "FAIL",
      ",".join(f"{r:.3f}" for r in round_ratios))
EOF
)
read -r launcher_ms launcher_mean launcher_sd launcher_min bare_ms bare_mean bare_sd bare_min \
  ratio ratio_verdict \
  round_ratios <<<"$stats"
echo "  median launcher: $launcher_ms ms"
echo "  median bare:     $bare_ms ms"
echo "  ratio launcher/bare: $ratio ($ratio_verdict, target: at most $max_ratio)"
echo "  ratio of each round's medians: ${round_ratios//,/ }"

# --- Sizes -------------------------------------------------------------------
say "Bytes beside the resources (icon, version information, manifest)"
size_lines=()
for arch in x64 x86; do
  exe=$repo/build/windows-$arch/Start.exe
  [[ -f $exe ]] || continue
  # The build check's own figure, so that the two never differ.
  line="$arch: $(python3 "$repo/tests/tools/check_build.py" --sizes "$exe")"
  echo "  $line"
  size_lines+=("$line")
done

# --- Summary -----------------------------------------------------------------
elapsed=$((SECONDS - began))
wine_version=$("$wine64" --version 2>/dev/null || echo wine)
say "Summary"
cat <<EOF
Launch cost, measured by \`bench/launch_cost.sh\` on $(date -u +%Y-%m-%d) under $wine_version
(64-bit, own prefix, wineserver kept running), hyperfine: $((per_round * rounds)) runs each in $rounds rounds
of alternating order, after $warmup warm-up runs.
The bare program makes only Start.exe's CreateProcessA call for the default target.

| Program | Median | Mean ± σ | Fastest |
|---|---|---|---|
| \`Start.exe\`, default launch | $launcher_ms ms | $launcher_mean ± $launcher_sd ms | $launcher_min ms |
| bare CreateProcessA program | $bare_ms ms | $bare_mean ± $bare_sd ms | $bare_min ms |

- Ratio launcher/bare (medians): **$ratio** (target at most $max_ratio: $ratio_verdict);
  by round: ${round_ratios//,/, }
- DLLs the launcher's process loads: $(report_value launcher_names)
- DLLs the bare program's process loads: $(report_value bare_names)
- Loaded by the launcher beyond the bare program: $dlls_beyond ($dll_verdict)
EOF
for line in "${size_lines[@]}"; do echo "- $line"; done
echo
echo "(benchmark took ${elapsed} s)"

[[ $ratio_verdict == PASS && $dll_verdict == PASS ]]
