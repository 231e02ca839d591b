// The tags some containers keep side by side (an MP3's ID3v2, APE and
// ID3v1 tags, a WAV file's ID3v2 and RIFF INFO tags, the APE and ID3v1
// tags of APE and WavPack files), and which of them a save writes. TagLib
// keeps in memory a tag of the kinds a file holds, and of its main kind
// even where the file holds none, and a write reaches all of them. A save
// writes the kinds the file holds, in the form they had (an ID3v2.3 tag
// as ID3v2.3), and the main kind beside them only where the file holds
// no tag, or where those it holds cannot show what it is to read as: an
// ID3v1 tag's title of 31 bytes, a composer in an ID3v1 tag.
#ifndef ORVELL_FORMATS_TAG_FORM_H
#define ORVELL_FORMATS_TAG_FORM_H

#include <vector>

#include <taglib/id3v2.h>
#include <taglib/id3v2tag.h>
#include <taglib/tag.h>

namespace orvell::formats {

enum class TagKind { Id3v2, Ape, Id3v1, Info };

struct FileTag {
  TagKind kind;
  TagLib::Tag* tag;  // as TagLib holds it in memory, perhaps empty; never null
  bool in_file;      // the file on disk holds a tag of this kind
};

// In the order TagLib's union of them reads a field: the first that holds
// it.
using FileTags = std::vector<FileTag>;

// Whether the tags the file holds, saved, show every value that any tag
// in memory holds: the file holds a tag; each of them, as it will be
// written (an ID3v1 tag keeps 30 bytes of Latin-1 per text, track numbers
// up to 255 and the genres of its list), holds what it holds in memory;
// and each value of a tag it does not hold reads the same from the first
// of them that holds the key.
bool HeldTagsShowAll(const FileTags& tags);

// The version an ID3v2 tag is saved in: the one it has in the file, where
// TagLib writes it (2.3), else 2.4. in_file: the file holds the tag.
TagLib::ID3v2::Version Id3v2VersionOf(const TagLib::ID3v2::Tag& tag, bool in_file);

}  // namespace orvell::formats

#endif
