// The per-call file frame every export runs in: argument tests, one open,
// the presence test of its family, one save for setters, and the FileRef
// destroyed on every path. Nothing here outlives a call.
#ifndef ORVELL_FRAME_FRAME_H
#define ORVELL_FRAME_FRAME_H

#include <cstdint>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include "io/checked_save.h"
#include "io/file_source.h"
#include "io/overlay_stream.h"
#include "frame/generic_tag.h"

namespace orvell {

// Codes that mean the same in every family.
constexpr int32_t kBadPath = -1;
constexpr int32_t kSaved = 1;
constexpr int32_t kUnexpected = -9;

// What a file that did not open, and a file lacking the tag or audio
// properties the export needs, are reported as. The codes depend on the
// family: integer getters use -2 and -3, everything else -3 and -4.
struct Family {
  int32_t not_opened;
  int32_t missing;
};
constexpr Family kTextFamily{-3, -4};     // string getters and setters, bulk
constexpr Family kNumberGetter{-2, -3};   // integer getters
constexpr int32_t kSaveFailed = -5;       // single-field setters

inline bool IsBadPath(const char* path) {
  return path == nullptr || path[0] == '\0';
}

// Runs body and turns anything it throws into kUnexpected: an exception
// must never unwind into a C caller.
template <typename Body>
int32_t Guard(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return kUnexpected;
  }
}

// TagLib's file over stream, or none when the file did not open or nests
// deeper than TagLib's parsers can follow without running out of stack.
// In a source file of its own (frame/open.cpp), so that the tests can
// build the library once more with TagLib reading through its own file
// stream instead, and compare every read.
TagLib::FileRef OpenTagLibFile(io::FileSource& source, io::OverlayStream& stream);

// One audio file, opened the way every export opens it: audio properties
// read at the Average level, through Orvell's own stream over the file, so
// that TagLib's writes stay in memory until a save has checked them.
// Closed, never saved, when it goes out of scope.
class OpenFile {
 public:
  explicit OpenFile(const char* path);
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool IsNull() const { return ref_.isNull(); }
  TagLib::Tag* Tag() const { return ref_.tag(); }
  TagLib::AudioProperties* Audio() const { return ref_.audioProperties(); }
  TagLib::PropertyMap Properties() const;
  // Whether the generic tag shows only the first of several values, so
  // that a single text may stand for more.
  bool ShowsFirstValueOnly() const;
  // Hands map to the file. Every generic tag field outside written (the
  // fields this call sets itself, through the map or the tag) then reads
  // as it did before, also where TagLib's write of the map dropped it.
  void SetProperties(const TagLib::PropertyMap& map, GenericFields written);
  // Saves the changes made through this file: input_bytes is the size of
  // what the caller asked to write, written the generic fields it set
  // (they must read back). True only when the file on disk now holds
  // them, whole; false leaves it as it was (see io/checked_save.h).
  bool Save(size_t input_bytes, GenericFields written);

 private:
  // Declared in this order so that TagLib's file goes first, then the
  // stream it reads, then the file descriptor under both.
  io::FileSource source_;
  io::OverlayStream stream_;
  TagLib::FileRef ref_;
};

// Opens path and calls work(file) when it opened. Returns work's result,
// or the family's code for a file that did not open.
template <typename Work>
int32_t WithFile(const char* path, Family family, Work&& work) {
  OpenFile file(path);
  if (file.IsNull()) return family.not_opened;
  return work(file);
}

// As WithFile, and also requires the generic tag: work(file, tag).
template <typename Work>
int32_t WithTag(const char* path, Family family, Work&& work) {
  OpenFile file(path);
  if (file.IsNull()) return family.not_opened;
  TagLib::Tag* tag = file.Tag();
  if (tag == nullptr) return family.missing;
  return work(file, *tag);
}

// As WithFile, and also requires the audio properties: work(properties).
template <typename Work>
int32_t WithAudio(const char* path, Family family, Work&& work) {
  OpenFile file(path);
  if (file.IsNull()) return family.not_opened;
  const TagLib::AudioProperties* audio = file.Audio();
  if (audio == nullptr) return family.missing;
  return work(*audio);
}

// The one save of a setter.
inline int32_t SaveOnce(OpenFile& file, int32_t failed, size_t input_bytes, GenericFields written) {
  return file.Save(input_bytes, written) ? kSaved : failed;
}

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

// Rounded whole seconds from milliseconds, (ms + 500) / 1000 truncating
// toward zero, computed in 64 bits so no length can overflow.
int32_t RoundedSeconds(int32_t milliseconds);

}  // namespace orvell

#endif
