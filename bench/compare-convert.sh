#!/usr/bin/env bash
# Song conversion beside its peers, on the same folder of MIDI files, in one
# run: Velnor's converter (bench_convert), Debian's python3-mido (merge,
# rescale, save) and npm's midi-file (parse, merge, write); MB/s of input and
# the ratios. Installs the peers when they are missing.
#   bench/compare-convert.sh FOLDER [BUILD=build]
set -euo pipefail
folder=${1:?usage: bench/compare-convert.sh FOLDER [BUILD]}
build=${2:-build}
here=$(cd "$(dirname "$0")" && pwd)
peers="$build/bench-peers"
if ! /usr/bin/python3 -c 'import mido' 2>/dev/null; then
  ${SUDO:-} apt-get install -y -qq python3-mido >/dev/null
fi
if [ ! -d "$peers/node_modules/midi-file" ]; then
  mkdir -p "$peers"
  (cd "$peers" && npm install --silent --no-audit --no-fund midi-file@1 >/dev/null)
fi
cmake --build "$build" --target bench_convert >/dev/null
velnor=$("$build/bench/bench_convert" "$folder" 3 | tee /dev/stderr | awk '/conversion in memory/ {print $4}')
mido=$(/usr/bin/python3 "$here/peers/convert_mido.py" "$folder" 1 | tee /dev/stderr | awk '{print $2}')
midifile=$(NODE_PATH="$peers/node_modules" node "$here/peers/convert_midi_file.js" "$folder" 5 |
           tee /dev/stderr | awk '{print $2}')
awk -v v="$velnor" -v m="$mido" -v f="$midifile" 'BEGIN {
  printf "velnor %.1f MB/s: %.0f times mido (%.2f MB/s), %.0f times midi-file (%.2f MB/s)\n", v, v / m, m, v / f, f }'
