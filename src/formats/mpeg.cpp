#include "formats/mpeg.h"

#include <algorithm>
#include <string>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "formats/ape.h"
#include "formats/containers.h"
#include "formats/id3.h"
#include "formats/tag_form.h"
#include "seam/taglib_seam.h"

namespace orvell::formats {

namespace {

// TagLib takes a file for MPEG by its content when a valid frame starts in
// its first kilobyte (after an ID3v2 tag at the start, which is then the
// tag); a tag before that frame lies within it. The look goes a little
// further, and costs one block of the file's cache.
constexpr int64_t kStartScanned = 4 * 1024;

bool IsFrameSync(unsigned char first, unsigned char second) {
  return first == 0xFF && second != 0xFF && (second & 0xE0) == 0xE0;
}

// The length of an AAC frame in ADTS whose header is h (6 bytes), as
// TagLib reads it; 0 when its version bits leave it no ADTS frame.
int AdtsFrameLength(const unsigned char* h) {
  const int version_bits = (h[1] >> 3) & 3;
  if (version_bits != 2 && version_bits != 3) return 0;
  return (h[3] & 3) << 11 | h[4] << 3 | h[5] >> 5;
}

// The length of the MPEG frame whose header is h (available bytes of it,
// 4 to 6), 0 when the header is not valid; TagLib's rules for its line.
int FrameLength(const unsigned char* h, size_t available) {
  if (!IsFrameSync(h[0], h[1])) return 0;
  const int version_bits = (h[1] >> 3) & 3;
  if (version_bits == 1) return 0;
  const int version = version_bits == 3 ? 0 : version_bits == 2 ? 1 : 2;  // 1, 2, 2.5
  const int layer_bits = (h[1] >> 1) & 3;
  if (layer_bits == 0) {
    return kTagLibReadsAdtsFrames && available >= 6 ? AdtsFrameLength(h) : 0;
  }
  const int layer = 4 - layer_bits;  // 1, 2 or 3
  static const int kBitrates[2][3][16] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
  static const int kRates[3][4] = {
      {44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};
  static const int kSamples[3][2] = {{384, 384}, {1152, 1152}, {1152, 576}};
  const int version_index = version == 0 ? 0 : 1;
  const int bitrate = kBitrates[version_index][layer - 1][(h[2] >> 4) & 0x0F];
  const int rate = kRates[version][(h[2] >> 2) & 3];
  if (bitrate == 0 || rate == 0) return 0;
  int length = kSamples[layer - 1][version_index] * bitrate * 125 / rate;
  if ((h[2] & 0x02) != 0) length += layer == 1 ? 4 : 1;
  return length;
}

// TagLib's test for the first real frame: a valid header whose frame is
// followed by a header of the same kind.
bool ValidFrameAt(ByteSource& content, int64_t offset) {
  unsigned char header[6];
  const size_t available = content.ReadAt(offset, 6, reinterpret_cast<char*>(header));
  if (available < 4) return false;
  const int length = FrameLength(header, available);
  if (length == 0) return false;
  unsigned char next[4];
  if (content.ReadAt(offset + length, 4, reinterpret_cast<char*>(next)) != 4) return false;
  constexpr uint32_t kMask = 0xfffe0c00;
  auto word = [](const unsigned char* b) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  };
  return (word(header) & kMask) == (word(next) & kMask);
}

}  // namespace

Span MpegId3v2(ByteSource& content, MpegScan scan, int64_t* declared) {
  if (declared != nullptr) *declared = 0;
  if (stream::HasAt(content, 0, "ID3")) return Id3v2At(content, 0, declared);
  if (ValidFrameAt(content, 0)) return {0, 0};
  // TagLib looks through whatever comes first, up to the first real frame.
  const int64_t end =
      scan == MpegScan::WholeFile ? content.Size() : std::min(content.Size(), kStartScanned);
  constexpr size_t kStep = 1024;
  std::string buffer(kStep, '\0');
  unsigned char last[2] = {0, 0};  // the two bytes before the buffer
  for (int64_t position = 0; position < end; position += kStep) {
    const size_t got = content.ReadAt(position, kStep, buffer.data());
    for (size_t i = 0; i < got; ++i) {
      const unsigned char byte = static_cast<unsigned char>(buffer[i]);
      const int64_t here = position + static_cast<int64_t>(i);
      if (IsFrameSync(last[1], byte) && ValidFrameAt(content, here - 1)) return {0, 0};
      if (last[0] == 'I' && last[1] == 'D' && byte == '3') return Id3v2At(content, here - 2, declared);
      last[0] = last[1];
      last[1] = byte;
    }
  }
  return {0, 0};
}

Layout ReadMpegLayout(ByteSource& content) {
  Layout layout;
  int64_t declared = 0;
  const Span tag = MpegId3v2(content, MpegScan::WholeFile, &declared);
  if (declared > tag.length) layout.Refuse(kId3v2PastTheEnd);
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (tag.End() > end) return layout;
  layout.audio_known = true;
  if (tag.length > 0 && tag.offset > 0) layout.AddRun(0, tag.offset);  // junk
  layout.AddRun(tag.End(), end - tag.End());
  return layout;
}

FileTags MpegTags(TagLib::File& any) {
  auto& file = static_cast<TagLib::MPEG::File&>(any);
  FileTags tags;
  // TagLib keeps an ID3v2 and an ID3v1 tag in memory whatever the file
  // holds, an APE tag only where the file holds one.
  tags.push_back({TagKind::Id3v2, file.ID3v2Tag(true), file.hasID3v2Tag()});
  if (TagLib::Tag* ape = file.APETag(false)) tags.push_back({TagKind::Ape, ape, file.hasAPETag()});
  tags.push_back({TagKind::Id3v1, file.ID3v1Tag(true), file.hasID3v1Tag()});
  return tags;
}

bool SaveMpeg(TagLib::File& any) {
  auto& file = static_cast<TagLib::MPEG::File&>(any);
  int kinds = TagLib::MPEG::File::NoTags;
  if (file.hasID3v2Tag()) kinds |= TagLib::MPEG::File::ID3v2;
  if (file.hasAPETag()) kinds |= TagLib::MPEG::File::APE;
  if (file.hasID3v1Tag()) kinds |= TagLib::MPEG::File::ID3v1;
  if (!file.hasID3v2Tag() && !HeldTagsShowAll(MpegTags(file))) kinds |= TagLib::MPEG::File::ID3v2;
  // Nothing is copied from one tag into another: every write reached
  // them all already, and TagLib's copy of an ID3v1 track number of 0
  // over a "TRCK" reading as 0 ("0/12") would drop the total.
  return file.save(kinds, TagLib::File::StripNone,
                   Id3v2VersionOf(*file.ID3v2Tag(true), file.hasID3v2Tag()),
                   TagLib::File::DoNotDuplicate);
}

}  // namespace orvell::formats
