#!/usr/bin/env bash
# A newcomer's first run on a fresh Debian machine: installs what is missing
# for the tool, builds the library, the simulator and the tool alone (in
# build/tool; the README's test command installs and builds the rest), and
# does the tool's main job against the simulator, which stands in for the
# hardware: records 3 seconds, plays the recording back, exports it for spike
# sorters and draws a picture of it. Everything lands in demo/, replaced on
# a second run.
set -euo pipefail
cd "$(dirname "$0")/.."

.ci/install-packages tool
cmake --preset tool && cmake --build --preset tool

tolmaren=build/tool/tools/tolmaren
mkdir -p demo
echo "== record 3 s from a simulated probe of type 2 (bank 0, AP gain code 3)"
"$tolmaren" record demo/recording.bin --force --seconds 3 --bank 0 --ap-gain 3 \
  --sim --probe-type 2 --serial 1234
echo "== play it back (all 384 channels in demo/play.txt)"
"$tolmaren" play demo/recording.bin > demo/play.txt
head -n 12 demo/play.txt
echo "== export it"
"$tolmaren" export demo/recording.bin demo/export
echo "== draw it"
"$tolmaren" plot demo/recording.bin demo/recording.png
