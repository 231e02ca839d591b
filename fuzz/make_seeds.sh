#!/bin/sh
# Regenerates the committed seed corpora of the fuzz targets: write blocks
# from the documented examples and edge cases, pair texts from the codec's
# rules, and the test fixtures for the file target (each prefixed with the
# byte that picks its extension, the byte that picks the write block and
# the byte that picks the write that fails, here none).
# The fuzzers add what they find to copies of these in their own working
# folders; the committed seeds stay small.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../tests/data"
corpus="$here/corpus"
rm -rf "$corpus"
mkdir -p "$corpus/write_block" "$corpus/number_pair" "$corpus/tags"

# seed TARGET NAME printf-FORMAT...
seed() {
  target=$1 name=$2
  shift 2
  # shellcheck disable=SC2059
  printf "$@" > "$corpus/$target/$name"
}

keep='1:01:01:01:01:01:01:01:01:01:01:01:01:0'
example='6:1Caf\303\2511:01:25:1Blue1:01:11:01:05:120242:133:1121:21:0'
seed write_block example "$example\\000"
seed write_block example-trailing "$example\\000after the NUL"
seed write_block example-no-nul "$example"
seed write_block keep-all "$keep\\000"
seed write_block clear-all '1:21:21:21:21:21:21:21:21:21:21:21:21:2\000'
seed write_block leading-zeros "006:1Caf\\303\\251${keep#1:0}\\000"
seed write_block colons-in-value "6:112:30${keep#1:0}\\000"
seed write_block extra-record "$example""1:0\\000"
seed write_block length-zero "0:${keep#1:0}\\000"
seed write_block no-digits ":1${keep#1:0}\\000"
seed write_block bad-action "1:3${keep#1:0}\\000"
seed write_block long-length "99999999999999999999:1x${keep#1:0}\\000"
seed write_block year-max '1:01:01:01:01:01:01:01:011:121474836471:01:01:01:0\000'
seed write_block year-over '1:01:01:01:01:01:01:01:011:121474836481:01:01:01:0\000'
seed write_block year-zeros '1:01:01:01:01:01:01:01:07:10020241:01:01:01:0\000'
seed write_block only-nul '\000'

for text in '3/12' '3' '/12' '3/' '/' ' 3 / 12' '/ 12' ' 7/x' ' /5' '3//5' '1/2/3' \
            '12abc' '7/12abc' 'abc' '99999999999' '2147483647/2147483648' \
            '-2147483648' '-2/5' '+4/+9' '0x1F' '04/010' '\t\n\v\f\r9' '\357\274\223'; do
  name=$(printf '%b' "$text" | od -An -tx1 | tr -d ' \n')
  seed number_pair "text-$name" '%b' "$text"
done
seed number_pair empty ''
seed number_pair numbers '\377\377\377\177\000\000\000\200'

index=0
for extension in mp3 flac ogg opus m4a wav aiff wv wma ape oga mp4; do
  for fixture in "$data"/*."$extension"; do
    name=$(basename "$fixture")
    { printf "\\$(printf '%03o' "$index")\\000\\000"; cat "$fixture"; } > "$corpus/tags/$name"
  done
  index=$((index + 1))
done
# Saves whose k-th write fails, for each write of a save through a
# temporary file (Opus: 10 writes) and of saves in place (M4A: 5, WavPack:
# 2). The fuzzer rarely mutates the third byte of a large input, so the
# failures start here.
for seed in 3:silence.opus:10 4:silence.m4a:5 7:silence.wv:2; do
  index=${seed%%:*} fixture=${seed#*:} writes=${seed##*:}
  fixture=${fixture%:*}
  write=1
  while [ "$write" -le "$writes" ]; do
    { printf "\\$(printf '%03o' "$index")\\000\\$(printf '%03o' "$write")"; cat "$data/$fixture"; } \
      > "$corpus/tags/$fixture-fails-write-$write"
    write=$((write + 1))
  done
done
# An M4A whose chunk-offset table claims 16 777 217 entries in a box of
# one: a save must refuse it rather than rewrite that many entries.
seed="$corpus/tags/stco-count-past-its-box.m4a"
cp "$corpus/tags/silence.m4a" "$seed"
at=$(grep -obUa stco "$seed" | head -n 1 | cut -d: -f1)
printf '\001\000\000\001' | dd of="$seed" bs=1 seek=$((at + 8)) conv=notrunc status=none
ls "$corpus"/* | wc -l
