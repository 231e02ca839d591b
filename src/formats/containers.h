// The layout of each container's content (layout.h), read by the module
// of that container, one source file each; format.cpp holds them in one
// table. Each reader reads the whole content but Ogg's, which stop at
// stop.
#ifndef ORVELL_FORMATS_CONTAINERS_H
#define ORVELL_FORMATS_CONTAINERS_H

#include <cstdint>

#include <taglib/tfile.h>

#include "formats/layout.h"
#include "formats/tag_form.h"

namespace orvell::stream {
class OverlayStream;
}

namespace orvell::formats {

// MPEG audio (mpeg.cpp): everything between the ID3v2 tag and the tags at
// the end, with any junk before the tag. An ID3v2 tag declaring more
// bytes than the file holds makes the save unsafe: TagLib would replace
// all of them, the audio included, with the new tag.
Layout ReadMpegLayout(ByteSource& content);
// Its ID3v2, APE and ID3v1 tags, and its save: the kinds the file holds,
// the ID3v2 tag in the version it has, and an ID3v2.4 tag beside them
// where they do not show everything (tag_form.h).
FileTags MpegTags(TagLib::File& file);
bool SaveMpeg(TagLib::File& file);

// FLAC (flac.cpp): STREAMINFO and the frames; unsafe as for MPEG.
Layout ReadFlacLayout(ByteSource& content);
// False when file's comment or a picture block, as TagLib would write it,
// is longer than the 24-bit block length holds (16,777,215 bytes).
bool FlacBlocksFit(TagLib::File& file);

// Vorbis, Opus and Speex (ogg.cpp): every packet but the comment header,
// the second, and the pages' granule positions.
Layout ReadOggLayout(ByteSource& content, int64_t stop);
// FLAC in Ogg (ogg.cpp): one metadata block per packet after the first,
// the comment the one of type 4. With a TagLib that saves it wrongly (the
// 1.x line and 2.x before 2.2), a file whose comment block is missing is
// unsafe: the new comment would be written over the stream header.
Layout ReadOggFlacLayout(ByteSource& content, int64_t stop);
// Such a TagLib also writes the comment block with its last-block flag
// cleared, which leaves a file whose comment was the last block with no
// last block: it no longer opens. The flag is set again in after, and the
// checksum of the page it is on written anew.
bool MendOggFlac(stream::OverlayStream& after, ByteSource& before, const Layout& old);

// MP4 (mp4.cpp). The audio is every top-level media data box. The
// positions pointing into it are the entries of every chunk-offset table
// (stco, co64), the base offsets of track fragment headers (tfhd) and the
// fragment offsets of the random-access index (tfra), found as a decoder
// finds them: every box within its parent. A box tree that does not hold
// together leaves the audio unknown, as do positions pointing at samples
// where no top-level media data box holds any.
//
// The save is unsafe when TagLib would write over the audio, pad the tag
// out by gigabytes, or break the box tree: a chunk-offset table claiming
// more entries than its box holds, or starting where a new tag would go;
// a box of the movie running past the end of the file, or declaring size
// 0 ("to the end of the file", which TagLib would rewrite as the growth
// alone); a track fragment header whose base offset lies outside its box.
Layout ReadMp4Layout(ByteSource& content);
// TagLib's save moves the chunk offsets of the movie and the base offsets
// of the first fragment's track headers along with the data they point
// at, and leaves every other fragment's, and the random-access index's
// fragment offsets, where they were. This moves each position after,
// the new content, still holds to where its bytes went.
bool MoveMp4Pointers(stream::OverlayStream& after, ByteSource& before, const Layout& old);

// ASF, WMA (asf.cpp): everything after the header object. A header object
// of size 0 (TagLib's save never ends) or running past the end (the audio
// would be cut away) makes the save unsafe.
Layout ReadAsfLayout(ByteSource& content);
// False when a title, artist, copyright, comment or rating of file's tag
// is longer than its 16-bit length field holds (32,766 UTF-16 units and
// a terminator).
bool AsfTextsFit(TagLib::File& file);

// WAV ("fmt " and "data") and AIFF ("COMM" and "SSND") (riff.cpp): the
// format and the sample data. A chunk running past the end of the file
// (an interrupted download) makes the save unsafe: TagLib would write the
// container's size wrong and its new chunk into the gap.
Layout ReadWavLayout(ByteSource& content);
Layout ReadAiffLayout(ByteSource& content);
// A WAV file's ID3v2 and RIFF INFO tags, and its save as MPEG's; an AIFF
// file's ID3v2 tag saved in the version it has.
FileTags WavTags(TagLib::File& file);
bool SaveWav(TagLib::File& file);
bool SaveAiff(TagLib::File& file);

// WavPack (wavpack.cpp): the blocks, from the start of the file up to the
// tags at its end. Only the first block's header is read: the blocks run
// on to the tags, so the audio is known without walking a header per
// block, which would read a long file whole for a save that changes a few
// bytes of its tag.
Layout ReadWavPackLayout(ByteSource& content);

// APE, Musepack and TrueAudio (ape.cpp): everything between an ID3v2 tag
// at the start and the tags at the end; unsafe as for MPEG.
Layout ReadBetweenTagsLayout(ByteSource& content);
// The APE and ID3v1 tags of APE and WavPack files, and their save: the
// kinds the file holds, and an APE tag beside an ID3v1 tag that does not
// show everything. Other files are saved as TagLib saves them.
FileTags ApeFamilyTags(TagLib::File& file);
bool SaveApeFamily(TagLib::File& file);

}  // namespace orvell::formats

#endif
