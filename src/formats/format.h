// What the library knows of each container, in one table: how to read a
// content's layout, what TagLib's save must be checked for, and how a
// save of it may be committed.
#ifndef ORVELL_FORMATS_FORMAT_H
#define ORVELL_FORMATS_FORMAT_H

#include <cstdint>

#include <taglib/tag.h>
#include <taglib/tfile.h>

#include "formats/layout.h"
#include "formats/tag_form.h"

namespace orvell::stream {
class OverlayStream;
}

namespace orvell::formats {

enum class Container {
  Unknown,      // a format without a layout: its saves are checked by reopening alone
  Mpeg,         // MPEG audio: everything between the tags
  Flac,         // STREAMINFO and the frames
  Ogg,          // Vorbis, Opus, Speex: every packet but the comments
  OggFlac,      // FLAC in Ogg: every packet but the comment block
  Mp4,          // the media data, and the positions pointing into it
  Asf,          // everything after the header object
  Wav,          // the format and data chunks
  Aiff,         // the COMM and SSND chunks
  WavPack,      // the blocks
  BetweenTags,  // APE, Musepack, TrueAudio: everything between the tags
};

struct Format {
  Container container;
  // The layout of content, read no further than stop where the format
  // allows (only Ogg does; the others read the whole content).
  Layout (*read_layout)(ByteSource& content, int64_t stop);
  // False when a tag of file, as TagLib would write it, does not fit the
  // format; null when every tag fits.
  bool (*tags_fit)(TagLib::File& file);
  // Where the file's generic tag is TagLib's union of its tags, the tag
  // that union asks first; null when there is none to ask.
  TagLib::Tag* (*tag_asked_first)(TagLib::File& file);
  // A save must find the file's audio to be made at all. MP4 points into
  // its audio from elsewhere, and TagLib may leave those pointers behind.
  // TagLib takes for FLAC any file with "fLaC" in its first kilobyte (FLAC
  // in Matroska among them) and saves it as one, which breaks the file
  // that holds it.
  bool needs_audio;
  // Why a save is refused when the audio of a file that needs it is not
  // found.
  const char* audio_not_found;
  // Changed tag bytes may be written over the file in place. Not in Ogg,
  // whose pages hold a checksum of everything on them: a change to one is
  // made whole or not at all.
  bool writes_in_place;
  // The layouts of the file and of its new content may stop where the
  // two end in the same bytes (Ogg: the pages after the comments).
  bool reads_to_shared_end;
  // Mends in after, the content TagLib's save gave the file, what that
  // save is known to leave wrong, before the new content is checked:
  // before is the file, old its layout where it was read before the save.
  // False when the mending could not be written. Null where TagLib's save
  // leaves nothing to mend.
  bool (*mend_save)(stream::OverlayStream& after, ByteSource& before, const Layout& old);
  // The tags the file keeps side by side (tag_form.h), each of which a
  // write must reach; null for a format of one tag.
  FileTags (*tags_of)(TagLib::File& file);
  // Saves the file with its tags in the form they had: the kinds it holds,
  // an ID3v2 tag in its version. Null: TagLib's own save.
  bool (*save)(TagLib::File& file);
};

// Saves file as its format saves it (Format::save).
bool SaveInForm(const Format& format, TagLib::File& file);

const Format& FormatOf(const TagLib::File& file);

}  // namespace orvell::formats

#endif
