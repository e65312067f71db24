#!/usr/bin/env bash
# Speaks the demo's voiced lines with espeak-ng (apt-get install espeak-ng)
# and encodes them as Ogg Vorbis into games/demo/voice. Run from the
# repository root; the files are committed, so the build never runs this.
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
g++ -O2 -std=c++20 games/demo/tools/make_sounds.cpp -o "$tmp/make_sounds" -lvorbisenc -lvorbis -logg
mkdir -p games/demo/voice
say() {  # name pitch speed text
  espeak-ng -v ja -p "$2" -s "$3" -w "$tmp/$1.wav" "$4"
  "$tmp/make_sounds" --voice "$tmp/$1.wav" "games/demo/voice/$1.ogg"
}
say aoi01 75 150 "今日はいい天気だね。"
say ren01 30 140 "うん。どこまでも青い空だ。"
say aoi02 75 150 "また明日も、一緒に来ようね。"
