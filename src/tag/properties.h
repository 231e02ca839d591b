// Reading and changing a copy of a file's property map by key.
#ifndef ORVELL_TAG_PROPERTIES_H
#define ORVELL_TAG_PROPERTIES_H

#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

namespace orvell {

// Property keys are ASCII literals.
TagLib::String Key(const char* literal);

// The values stored under key (upper case, as TagLib keeps every key), or
// null when map has no entry for it.
const TagLib::StringList* Find(const TagLib::PropertyMap& map, const char* key);

// The values stored under key, without inserting the key into map (the
// non-const operator[] would add an empty entry). Empty when absent.
TagLib::StringList Lookup(const TagLib::PropertyMap& map, const char* key);

// Stores text as the only value of key, or erases key when text is empty.
void StoreOrErase(TagLib::PropertyMap& map, const char* key, const TagLib::String& text);

}  // namespace orvell

#endif
