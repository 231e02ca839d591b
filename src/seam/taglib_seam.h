// The one place that knows which TagLib line the library is built against.
#ifndef ORVELL_SEAM_TAGLIB_SEAM_H
#define ORVELL_SEAM_TAGLIB_SEAM_H

#include <memory>
#include <string_view>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/taglib.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

namespace orvell {

// The position and length types of TagLib's IOStream: on the 1.x line
// long, with unsigned long for lengths and for where an insert or removal
// starts; offset_t and size_t on 2.x.
#if ORVELL_TAGLIB_MAJOR >= 2
using StreamOffset = TagLib::offset_t;
using StreamStart = TagLib::offset_t;
using StreamLength = size_t;
#else
using StreamOffset = long;
using StreamStart = unsigned long;
using StreamLength = unsigned long;
#endif

// Whether this line's MPEG reader takes AAC in ADTS frames for MPEG
// frames (2.x); the 1.x line knows only layers I to III.
constexpr bool kTagLibReadsAdtsFrames = ORVELL_TAGLIB_MAJOR >= 2;

// Whether this line's save of FLAC in Ogg keeps the comment block as it
// must be (2.2 on): before, it clears the block's last-block flag, and
// writes over the stream header where the file has no comment block.
constexpr bool kTagLibSavesOggFlacWhole =
    TAGLIB_MAJOR_VERSION > 2 || (TAGLIB_MAJOR_VERSION == 2 && TAGLIB_MINOR_VERSION >= 2);

// Whether a file named with this lower-case extension is opened as MPEG
// audio by its name ("mp3"; on 2.x "mp2" and "aac" too), before its
// content is looked at.
bool OpensAsMpegByName(std::string_view extension);

// TagLib fills some of its process-wide lookup tables (MP4 and ASF property
// keys, ID3v2 involved-people roles, and on the 2.x line the MP4 item
// factory and RIFF INFO keys) the first time a file needs them, without a
// lock. Two threads doing that at once corrupt the table: fields go
// missing, the process crashes or hangs. This builds them all, once per
// process and thread-safely, so that every call can reach TagLib after it.
void BuildSharedTables();

// The file's generic tag, as the 2.x line gives it: the union of its tags
// that reads each field from the first tag holding it and writes every
// tag. On the 1.x line a WAV file's tag() is its ID3v2 tag alone, so text
// held only in its RIFF INFO chunk would read as empty; for it such a
// union is made, kept in made (which must not outlive ref's file). Null
// when the file has no tag.
TagLib::Tag* GenericTag(const TagLib::FileRef& ref, std::unique_ptr<TagLib::Tag>& made);

// The properties of one of a file's tags, and a write of them, as the 2.x
// line gives them. On the 1.x line an ID3v1 tag and a RIFF INFO tag have
// only the seven keys every tag has ("TITLE", "ARTIST", "ALBUM",
// "COMMENT", "GENRE", "DATE", "TRACKNUMBER"); RIFF INFO then takes its
// other keys ("COMPOSER" in IMUS, ...) from the table of the 2.x line, and
// keeps "TRACKNUMBER" and "DATE" as text.
TagLib::PropertyMap TagProperties(const TagLib::Tag& tag);
void SetTagProperties(TagLib::Tag& tag, const TagLib::PropertyMap& map);

// The file's property map: a WAV file's from its first tag holding
// anything, RIFF INFO read as above. A file whose tag() is null has no
// properties: TagLib's default property access would dereference that null
// tag.
TagLib::PropertyMap ReadProperties(const TagLib::FileRef& ref);

// Hands map to the file, and returns the properties it refused: a WAV
// file's RIFF INFO tag takes it as above. A file whose tag() is null is
// left alone, for the same reason as above; its save still runs and decides
// the caller's result.
TagLib::PropertyMap WriteProperties(TagLib::FileRef& ref, const TagLib::PropertyMap& map);

// Whether text holds a separator with which this TagLib line's generic
// accessors join several values into one text, where that join is not
// " / " already: ", " (MP4 on both lines), and " " on the 1.x line, which
// joins the values of every other format with it.
bool HoldsTagLibSeparator(const TagLib::String& text);

// Whether the generic accessors of ref's file give only the first of
// several values (the WMA tag of the 1.x line), rather than joining them.
bool ShowsFirstValueOnly(const TagLib::FileRef& ref);

// Whether text is values (two or more) joined by one of those separators,
// as a generic accessor of this TagLib line gives them, or their first
// value alone.
bool JoinedByTagLib(const TagLib::String& text, const TagLib::StringList& values);

}  // namespace orvell

#endif
