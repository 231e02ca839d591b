// The per-call file frame every export runs in: argument tests, one open,
// the presence test of its family, one save for setters, and the FileRef
// destroyed on every path. Nothing here outlives a call.
#ifndef ORVELL_API_FRAME_H
#define ORVELL_API_FRAME_H

#include <cstdint>
#include <memory>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include "api/results.h"
#include "stream/file_source.h"
#include "stream/overlay_stream.h"
#include "tag/generic_tag.h"
#include "tag/properties.h"

namespace orvell {

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
// In a source file of its own (api/open.cpp), so that the tests can
// build the library once more with TagLib reading through its own file
// stream instead, and compare every read.
TagLib::FileRef OpenTagLibFile(stream::FileSource& source, stream::OverlayStream& stream);

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
  // The generic tag: every tag of the file as one (seam/taglib_seam.h).
  TagLib::Tag* Tag() const { return tag_; }
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
  // them, whole; false leaves it as it was (see save/checked_save.h).
  bool Save(size_t input_bytes, GenericFields written);

 private:
  // Declared in this order so that the generic tag goes first, then
  // TagLib's file whose tags it holds, then the stream it reads, then the
  // file descriptor under them all.
  stream::FileSource source_;
  stream::OverlayStream stream_;
  TagLib::FileRef ref_;
  std::unique_ptr<TagLib::Tag> made_tag_;
  TagLib::Tag* tag_;
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

inline bool IsBadBuffer(const char* buffer, int32_t size) {
  return buffer == nullptr || size <= 0;
}

// Copies text as UTF-8 into buffer (size bytes, NUL included), cutting it
// at size - 1 bytes, possibly inside a multi-byte character. Returns the
// bytes copied, or kBadBuffer for a NULL buffer or size <= 0, writing
// nothing.
int32_t CopyTextOut(const TagLib::String& text, char* buffer, int32_t size);

// Rounded whole seconds from milliseconds, (ms + 500) / 1000 truncating
// toward zero, computed in 64 bits so no length can overflow.
int32_t RoundedSeconds(int32_t milliseconds);

}  // namespace orvell

#endif
