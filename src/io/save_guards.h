// Saves refused before TagLib makes them: file shapes on which TagLib's
// own save is known to damage the file in ways that may still let the file
// open, so that a check of the result alone could miss them.
#ifndef ORVELL_IO_SAVE_GUARDS_H
#define ORVELL_IO_SAVE_GUARDS_H

#include <taglib/tfile.h>

#include "io/audio_map.h"
#include "io/file_source.h"

namespace orvell::io {

// False when TagLib's save of file, whose bytes are content, must not be
// made:
//   - MP4: a chunk-offset table (stco, co64) claiming more entries than its
//     box holds, or starting where a new tag would go; a box of the movie
//     running past the end of the file, or declaring size 0 ("to the end
//     of the file": TagLib would rewrite it as the growth alone); a track
//     fragment header whose base offset lies outside its box. TagLib would
//     write over the audio, pad the tag out by gigabytes, or break the box
//     tree.
//   - WAV, AIFF: a chunk running past the end of the file (an interrupted
//     download); TagLib would write the container size wrong and the new
//     chunk into the gap.
//   - WMA: a header object of size 0 (TagLib's save never ends) or running
//     past the end (the audio would be cut away); a title, artist,
//     copyright, comment or rating longer than its 16-bit length field
//     holds (32,766 UTF-16 units).
//   - FLAC: a comment or picture block longer than the 24-bit block
//     length (16,777,215 bytes).
//   - MP3, FLAC, APE, Musepack, TrueAudio: an ID3v2 tag (where TagLib
//     finds one) declaring more bytes than the file holds after it; TagLib
//     would replace all of them, the audio included, with the new tag.
//   - FLAC in Ogg, with TagLib before 2.2: a file whose comment block is
//     missing or is the last metadata block (TagLib would overwrite the
//     stream header, or clear the last-block flag).
bool SaveIsSafe(TagLib::File& file, Container container, Content& content);

// The MP4 part on its own.
bool Mp4SaveIsSafe(Content& content);

}  // namespace orvell::io

#endif
