#!/bin/sh
# Regenerates the audio fixtures in this folder and the sample file of
# examples/ from silence, with Debian's ffmpeg. The committed files are what
# the tests use; running this needs ffmpeg (apt-get install ffmpeg) and is
# never part of a build or of CI.
#
# Every fixture is one second of silence (the length fixtures aside),
# small enough to keep in the repository. Tags are left out on purpose:
# the tests put whatever state they need in place with TagLib on a copy.
# The MP3 alone carries an ID3v2 tag, holding the title "Silence", and
# tagged.wav the fields ffmpeg writes into a WAV file's RIFF INFO chunk.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
examples="$here/../../examples"
cd "$here"

# ff SOURCE OUTPUT-OPTIONS... : bit-exact output carries no encoder tags.
ff() {
  src=$1
  shift
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$src" \
    -fflags +bitexact -flags:a +bitexact "$@"
}
silence() { echo "anullsrc=r=$1:cl=$2"; }

ff "$(silence 22050 mono)" -t 1 \
   -c:a libmp3lame -b:a 32k -id3v2_version 4 -metadata title=Silence silence.mp3
ff "$(silence 44100 stereo)" -t 1 -c:a flac silence.flac
ff "$(silence 22050 mono)" -t 1 -c:a libvorbis -q:a 0 silence.ogg
ff "$(silence 48000 stereo)" -t 1 -c:a libopus -b:a 16k silence.opus
ff "$(silence 22050 stereo)" -t 1 -c:a aac -b:a 24k silence.m4a
# The same AAC with its moov box before the audio, so that a tag that grows
# moves the audio and the chunk offsets must follow it.
ff "$(silence 22050 stereo)" -t 1 -c:a aac -b:a 24k -movflags +faststart faststart.m4a
ff "$(silence 8000 mono)" -t 1 -c:a pcm_u8 silence.wav
ff "$(silence 8000 mono)" -t 1 -c:a pcm_s8 silence.aiff
ff "$(silence 8000 mono)" -t 1 -c:a pcm_u8 -metadata title=Title -metadata artist=Artist \
   -metadata album=Album -metadata genre=Jazz -metadata comment=Comment -metadata date=1999 \
   -metadata track=5 tagged.wav
ff "$(silence 44100 stereo)" -t 1 -c:a wavpack silence.wv
ff "$(silence 22050 mono)" -t 1 -c:a wmav2 -b:a 32k silence.wma
# A quarter of a second: audio all the same, whose length rounds to 0 s.
ff "$(silence 22050 mono)" -t 0.25 -c:a libmp3lame -b:a 32k short.mp3
# Opus in MP4, whose length TagLib measures but whose sample rate it does
# not read (it reads AAC's and ALAC's only).
ff "$(silence 48000 stereo)" -t 1 -c:a libopus -b:a 16k opus.mp4
# FLAC in Ogg; its comment block is the last metadata block, the shape
# TagLib before 2.2 cannot save.
ff "$(silence 8000 mono)" -t 1 -c:a flac -f ogg silence.oga
# Fragmented MP4: five moof fragments, each with an explicit base offset,
# behind an empty movie box, and a random-access index (mfra) at the end.
ff "$(silence 22050 stereo)" -t 2 -c:a aac -b:a 24k \
   -movflags frag_keyframe+empty_moov -frag_duration 500000 fragmented.mp4
# The same with each fragment's data placed from the start of its moof box
# (default_base_moof): only the random-access index holds positions.
ff "$(silence 22050 stereo)" -t 2 -c:a aac -b:a 24k \
   -movflags frag_keyframe+empty_moov+default_base_moof -frag_duration 500000 fragmented_moof.mp4
# FLAC in Matroska: TagLib finds "fLaC" in its first kilobyte and takes it
# for a FLAC file, whose save would break the Matroska structure.
ff "$(silence 8000 mono)" -t 1 -c:a flac -f matroska flac.mka

# Monkey's Audio has no encoder in Debian, so its fixture is written by
# hand: the 3.99 descriptor and header of one second of 8 kHz mono silence
# in one frame, a seek table, and 64 zero bytes for the frame. TagLib reads
# the layout; nothing decodes the frame.
python3 - <<'PY'
import struct
frame = bytes(64)
descriptor = (b"MAC " + struct.pack("<HH", 3990, 0) +
              struct.pack("<7I", 52, 24, 4, 0, len(frame), 0, 0) + bytes(16))
header = struct.pack("<HHIIIHHI", 2000, 0, 8000, 8000, 1, 16, 1, 8000)
seek_table = struct.pack("<I", 52 + 24 + 4)
open("silence.ape", "wb").write(descriptor + header + seek_table + frame)
PY

# Exact lengths for the duration rounding: 11992 and 12000 samples at
# 8000 Hz are 1499 ms and 1500 ms.
ff "$(silence 8000 mono)" -af atrim=end_sample=11992 \
   -c:a pcm_u8 len1499ms.wav
ff "$(silence 8000 mono)" -af atrim=end_sample=12000 \
   -c:a pcm_u8 len1500ms.wav

# Files TagLib cannot open: text under an audio extension, and text under
# an extension TagLib does not know (its content is not audio either, so
# detection by content finds nothing).
printf 'This is a text file, not FLAC audio.\n' > notaudio.flac
printf 'This is a text file with an unknown extension.\n' > unknown.xyz

# The sample of the README: a tagged FLAC file.
ff "$(silence 44100 stereo)" -t 2 -c:a flac \
   -metadata title="Blue in Green" -metadata artist="Orvell Quartet" \
   -metadata album_artist="Orvell Quartet" -metadata album="Silent Standards" \
   -metadata genre=Jazz -metadata comment="Two seconds of silence" \
   -metadata composer="Bill Evans" -metadata CONDUCTOR="Nobody" \
   -metadata date=1959 -metadata track=3/12 -metadata disc=1/2 \
   "$examples/sample.flac"

ls -l "$here" "$examples/sample.flac"
