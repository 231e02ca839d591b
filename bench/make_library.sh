#!/bin/sh
# make_library.sh ORVELL DIR [COUNT]: a synthetic music library of COUNT
# files (default 5000) under DIR, copied from the audio fixtures in turn and
# tagged with `orvell write` (the tool at ORVELL), every file differently:
# DIR/<artist>/<year> - <album>/<disc>-<track> <title>.<ext>. Meant for a
# build or temporary directory; it is never committed.
set -eu
tool=$1
dir=$2
count=${3:-5000}
data=$(cd "$(dirname "$0")/../tests/data" && pwd)
genres="Jazz Blues Rock Folk Classical Ambient Soul Funk Reggae Electronic Pop Country"
nth() { # nth N WORDS...: the Nth word (from 0), cycling
  n=$1
  shift
  shift $((n % $#))
  echo "$1"
}

# make_files FIRST STEP: files FIRST, FIRST + STEP, ... below count.
make_files() {
  i=$1
  while [ "$i" -lt "$count" ]; do
    ext=$(nth "$i" mp3 flac ogg opus m4a wav aiff wv)
    artist_no=$((i / 120))
    album_no=$((i / 12))
    track=$((i % 12 + 1))
    disc=$((album_no % 2 + 1))
    year=$((1950 + album_no % 70))
    artist="Artist $artist_no"
    album="Album $album_no"
    title="Song $i"
    folder="$dir/$artist/$year - $album"
    file="$folder/$disc-$(printf %02d "$track") $title.$ext"
    # One file in five names a conductor; the others have none.
    conductor=
    [ $((i % 5)) -eq 0 ] && conductor="--conductor=Conductor_$((i % 13))"
    mkdir -p "$folder"
    cp "$data/silence.$ext" "$file"
    "$tool" write --quiet "$file" --title "$title" --artist "$artist" --album-artist "$artist" \
      --album "$album" --genre "$(nth "$album_no" $genres)" --year "$year" \
      --track "$track" --track-total 12 --disc "$disc" --disc-total 2 \
      --comment "synthetic file $i of $count" --composer "Composer $((i % 97))" $conductor
    i=$((i + $2))
  done
}

mkdir -p "$dir"
workers=$(nproc)
pids=
w=0
while [ "$w" -lt "$workers" ]; do
  make_files "$w" "$workers" &
  pids="$pids $!"
  w=$((w + 1))
done
# A worker stops at its first failure; any failure fails the whole script.
failed=0
for pid in $pids; do
  wait "$pid" || failed=1
done
[ "$failed" -eq 0 ] || { echo "make_library.sh: tagging failed" >&2; exit 1; }
echo "made $count files under $dir"
