// The per-call file frame every export runs in: argument tests, one open,
// the presence test of its family, one save for setters, and the FileRef
// destroyed on every path. Nothing here outlives a call.
#ifndef ORVELL_API_FRAME_H
#define ORVELL_API_FRAME_H

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <memory>
#include <string>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include "api/results.h"
#include "reason/reason.h"
#include "save/snapshot.h"
#include "stream/file_source.h"
#include "stream/overlay_stream.h"
#include "tag/generic_tag.h"
#include "tag/pictures.h"
#include "tag/properties.h"
#include "tag/stored_pair.h"

namespace orvell {

inline bool IsBadPath(const char* path) {
  return path == nullptr || path[0] == '\0';
}

// Runs body as one export: it starts with no reason for a failure, ends
// with none after a success, and anything it throws becomes kUnexpected,
// since an exception must never unwind into a C caller.
template <typename Body>
int32_t Guard(Body&& body) noexcept {
  reason::Clear();
  int32_t result = kUnexpected;
  try {
    result = body();
  } catch (const std::exception& e) {
    reason::Say(std::string("unexpected failure: ") + e.what());
    return kUnexpected;
  } catch (...) {
    reason::Say("unexpected failure");
    return kUnexpected;
  }
  if (result >= 0) reason::Clear();
  return result;
}

// Returns code, a failure for the reason why.
inline int32_t Fail(int32_t code, const char* why) {
  reason::Say(why);
  return code;
}

constexpr const char* kBadPathReason = "the path is NULL or empty";
constexpr const char* kBadBufferReason = "the buffer is NULL or its size is below 1";

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
using stream::Access;

class OpenFile {
 public:
  // Opens path, locked for access (stream/file_source.h).
  OpenFile(const char* path, Access access);
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  bool IsNull() const { return ref_.isNull(); }
  // The generic tag: every tag of the file as one (seam/taglib_seam.h).
  TagLib::Tag* Tag() const { return tag_; }
  TagLib::AudioProperties* Audio() const { return ref_.audioProperties(); }
  // The file's property map. Until the call hands a map to the file, the
  // one read at the open of a file to be saved: a call that changes the
  // file through Tag() reads the map before it does.
  TagLib::PropertyMap Properties() const;
  // Whether the generic tag shows only the first of several values, so
  // that a single text may stand for more.
  bool ShowsFirstValueOnly() const;
  // Hands map to the file, and returns the properties it refused. Every
  // generic tag field outside written (the fields this call sets itself,
  // through the map or the tag) then reads as it did before, also where
  // TagLib's write of the map dropped it.
  TagLib::PropertyMap SetProperties(const TagLib::PropertyMap& map, GenericFields written);
  // Saves the changes made through this file: input_bytes is the size of
  // what the caller asked to write, written the generic fields it set
  // (they must read back). True only when the file on disk now holds
  // them, whole; false leaves it as it was (see save/checked_save.h).
  bool Save(size_t input_bytes, GenericFields written);
  bool Save(size_t input_bytes, const save::Changes& changes);
  // Where the file keeps its pictures (tag/pictures.h).
  std::unique_ptr<PictureStore> Pictures(bool create) const;

 private:
  // Declared in this order so that the generic tag goes first, then
  // TagLib's file whose tags it holds, then the stream it reads, then the
  // file descriptor under them all; and so that what an interrupted save
  // left is dealt with before the stream looks at the file.
  stream::FileSource source_;
  bool settled_;
  stream::OverlayStream stream_;
  TagLib::FileRef ref_;
  std::unique_ptr<TagLib::Tag> made_tag_;
  TagLib::Tag* tag_;
  // What a save must leave as it was: taken at the open, before the call
  // changes anything.
  save::Snapshot before_;
  GenericFields restored_ = kNoGenericField;
  bool map_written_ = false;
};

// The family's code for a file that did not open; why, where nothing
// below said: the file opened, and TagLib took it for no format it reads.
inline int32_t NotOpened(Family family) {
  reason::SayUnlessSaid("not an audio file TagLib reads");
  return family.not_opened;
}

// Opens path for access and calls work(file) when it opened. Returns work's result,
// or the family's code for a file that did not open.
template <typename Work>
int32_t WithFile(const char* path, Family family, Access access, Work&& work) {
  OpenFile file(path, access);
  if (file.IsNull()) return NotOpened(family);
  return work(file);
}

// As WithFile, and also requires the generic tag: work(file, tag).
template <typename Work>
int32_t WithTag(const char* path, Family family, Access access, Work&& work) {
  OpenFile file(path, access);
  if (file.IsNull()) return NotOpened(family);
  TagLib::Tag* tag = file.Tag();
  if (tag == nullptr) return Fail(family.missing, "the file has no tag");
  return work(file, *tag);
}

// As WithFile, and also requires the audio properties: work(properties).
template <typename Work>
int32_t WithAudio(const char* path, Family family, Work&& work) {
  OpenFile file(path, Access::Read);
  if (file.IsNull()) return NotOpened(family);
  const TagLib::AudioProperties* audio = file.Audio();
  if (audio == nullptr) return Fail(family.missing, "the file has no audio properties");
  return work(*audio);
}

// The one save of a setter.
// What a call changes: generic fields, and the property keys it stored.
inline save::Changes ChangesOf(GenericFields fields, std::initializer_list<const char*> keys = {}) {
  save::Changes changes;
  changes.fields = fields;
  for (const char* key : keys) changes.keys.emplace_back(key);
  return changes;
}

// The keys a number pair is stored under, added to changes.
void AddPairKeys(save::Changes& changes, const PairKeys& keys);

template <typename Written>
int32_t SaveOnce(OpenFile& file, int32_t failed, size_t input_bytes, const Written& written) {
  if (file.Save(input_bytes, written)) return kSaved;
  reason::SayUnlessSaid("the save failed");
  return failed;
}

inline bool IsBadBuffer(const char* buffer, int32_t size) {
  return buffer == nullptr || size <= 0;
}

// The buffer of a read that may ask for the room it needs: NULL with size
// 0 asks; NULL with another size, or a size below 0, is no buffer.
inline bool IsBadReadBuffer(const char* buffer, int32_t size) {
  return size < 0 || (buffer == nullptr && size != 0);
}
constexpr const char* kBadReadBufferReason =
    "the buffer is NULL with a size other than 0, or its size is below 0";

// Hands block to a read's caller: the room it needs (its NUL included)
// when buffer is NULL, else the block and its NUL, whole, or
// kBlockTooSmall. Returns the block's bytes.
int32_t HandOutBlock(const std::string& block, char* buffer, int32_t size);

// The same for bytes that are no text: no NUL added.
int32_t HandOutBytes(const char* bytes, size_t length, char* buffer, int32_t size);

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
