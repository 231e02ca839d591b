#include "formats/nesting.h"

#include <cstring>
#include <string>
#include <vector>

#include "formats/id3.h"
#include "formats/mp4_boxes.h"
#include "formats/mpeg.h"
#include "formats/riff.h"
#include "reason/reason.h"
#include "seam/taglib_seam.h"

namespace orvell::formats {

namespace {

bool IsOneOf(const std::string& word, std::initializer_list<const char*> words) {
  for (const char* w : words) {
    if (word == w) return true;
  }
  return false;
}

// TagLib takes a file for MP4 by these extensions, or by an "ftyp" box
// when it looks at the content.
bool MayBeMp4(const char* head, const std::string& extension) {
  return IsOneOf(extension, {"m4a", "m4r", "m4b", "m4p", "mp4", "3g2", "m4v"}) ||
         std::memcmp(head + 4, "ftyp", 4) == 0;
}

// Containers whose chunks may hold ID3v2 tags.
bool IsChunked(const char* head) { return stream::IsOneOf4(head, {"RIFF", "RF64", "FORM", "FRM8", "DSD "}); }

// Extensions TagLib opens as something other than MPEG audio.
bool NamesAnotherFormat(const std::string& extension) {
  return IsOneOf(extension, {"ogg", "oga", "flac", "mpc", "wv", "spx", "opus", "tta", "m4a", "m4r",
                             "m4b", "m4p", "mp4", "3g2", "m4v", "wma", "asf", "aif", "aiff", "afc",
                             "aifc", "wav", "ape", "mod", "module", "nst", "wow", "s3m", "it",
                             "xm", "dsf", "dff", "dsdiff"});
}

bool NestsDeeperThanTagLibFollows(stream::ByteSource& content, const char* path) {
  const std::string extension = stream::ExtensionOf(path);
  char head[8] = {};
  content.ReadAt(0, sizeof head, head);
  if (MayBeMp4(head, extension) && WalkMp4(content, [](const Mp4Box&) {}) == Mp4Walk::TooDeep) {
    return true;
  }

  std::vector<Span> tags;
  if (IsChunked(head)) tags = ChunkId3v2(content);
  if (std::memcmp(head, "ID3", 3) == 0) {
    tags.push_back(Id3v2At(content, 0));
  } else if (OpensAsMpegByName(extension)) {
    tags.push_back(MpegId3v2(content, MpegScan::WholeFile));
  } else if (!NamesAnotherFormat(extension)) {
    tags.push_back(MpegId3v2(content, MpegScan::Start));
  }
  for (const Span& tag : tags) {
    if (ChaptersNestTooDeep(content, tag)) return true;
  }
  return false;
}

}  // namespace

bool NestsTooDeep(stream::ByteSource& content, const char* path) {
  if (!NestsDeeperThanTagLibFollows(content, path)) return false;
  reason::Say("nested deeper than TagLib can follow (MP4 boxes, or ID3v2 chapter frames)");
  return true;
}

}  // namespace orvell::formats
