// A change of the property map carried into each of a file's tags. Where a
// file keeps several (an MP3's ID3v2, APE and ID3v1 tags), TagLib reads the
// map from the first that holds anything and writes it back into some of
// them whole: a tag it skips keeps a value the write changed, and a tag it
// writes loses what the map it was read from lacked. Each tag instead
// takes the change alone, as it would from a write of its own map.
#ifndef ORVELL_TAG_EVERY_TAG_H
#define ORVELL_TAG_EVERY_TAG_H

#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

namespace orvell {

// The keys whose values differ from before to after, each with its values
// in after: none where after lacks the key.
TagLib::PropertyMap ChangesBetween(const TagLib::PropertyMap& before, const TagLib::PropertyMap& after);

// Writes into tag, whose properties were held before the write, held with
// changes made: each key of changes takes its values, or goes where it has
// none. A tag that keeps its track number and year as numbers (ID3v1)
// takes the number that leads "TRACKNUMBER" ("5" of "5/12") and the year
// that leads "DATE", which TagLib's write would drop.
void WriteChanges(TagLib::Tag& tag, const TagLib::PropertyMap& held, const TagLib::PropertyMap& changes);

}  // namespace orvell

#endif
