#include "formats/riff.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include <taglib/aifffile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include "formats/containers.h"
#include "formats/id3.h"
#include "formats/tag_form.h"

namespace orvell::formats {

namespace {

enum class ByteOrder { Little, Big };

struct Chunk {
  const char* id;  // four bytes
  int64_t offset;  // of its header
  int64_t size;    // as declared
};

// Calls visit for every chunk after the 12-byte container header, in
// order, stepping by the declared sizes (padded to even).
void WalkChunks(ByteSource& content, ByteOrder order, const std::function<void(const Chunk&)>& visit);

int64_t SizeOf(const char* bytes, ByteOrder order) {
  return static_cast<int64_t>(order == ByteOrder::Little ? stream::LittleEndian32(bytes)
                                                         : stream::BigEndian(bytes, 4));
}

Layout ReadChunksLayout(ByteSource& content, ByteOrder order, const char* format,
                        const char* data) {
  Layout layout;
  char head[12];
  const int64_t end = content.Size();
  Span format_span{0, -1};
  Span data_span{0, -1};
  WalkChunks(content, order, [&](const Chunk& chunk) {
    if (chunk.size > end - chunk.offset - 8) layout.Refuse("a chunk runs past the end of the file (cut short?)");
    const int64_t length = std::min(chunk.size, end - chunk.offset - 8);
    if (format_span.length < 0 && std::memcmp(chunk.id, format, 4) == 0) {
      format_span = {chunk.offset + 8, length};
    } else if (data_span.length < 0 && std::memcmp(chunk.id, data, 4) == 0) {
      data_span = {chunk.offset + 8, length};
    }
  });
  if (content.ReadAt(0, 12, head) != 12 || format_span.length < 0 || data_span.length < 0) {
    return layout;
  }
  layout.sized = SizeOf(head + 4, order) + 8 == end;
  layout.audio_known = true;
  layout.AddRun(format_span.offset, format_span.length);
  layout.AddRun(data_span.offset, data_span.length);
  return layout;
}

bool IsId3Chunk(const char* id) {
  return std::memcmp(id, "ID3 ", 4) == 0 || std::memcmp(id, "id3 ", 4) == 0;
}

// DSDIFF: 64-bit sizes; ID3 chunks at the top level and in PROP.
void DsdiffId3v2(ByteSource& content, std::vector<Span>& tags) {
  const int64_t end = content.Size();
  std::vector<std::pair<int64_t, int64_t>> ranges{{16, end}};
  for (size_t r = 0; r < ranges.size(); ++r) {
    for (int64_t at = ranges[r].first; at + 12 <= ranges[r].second;) {
      char chunk[12];
      if (content.ReadAt(at, 12, chunk) != 12) break;
      const auto size = static_cast<int64_t>(stream::BigEndian(chunk + 4, 8));
      if (size < 0 || size > end) break;
      if (IsId3Chunk(chunk)) tags.push_back(Id3v2At(content, at + 12));
      if (r == 0 && std::memcmp(chunk, "PROP", 4) == 0) {
        ranges.emplace_back(at + 16, std::min(end, at + 12 + size));
      }
      at += 12 + size + (size & 1);
    }
  }
}

void WalkChunks(ByteSource& content, ByteOrder order,
                const std::function<void(const Chunk&)>& visit) {
  const int64_t end = content.Size();
  for (int64_t at = 12; at + 8 <= end;) {
    char header[8];
    if (content.ReadAt(at, 8, header) != 8) break;
    const int64_t size = SizeOf(header + 4, order);
    visit(Chunk{header, at, size});
    at += 8 + size + (size & 1);
  }
}

}  // namespace

Layout ReadWavLayout(ByteSource& content) {
  return ReadChunksLayout(content, ByteOrder::Little, "fmt ", "data");
}

Layout ReadAiffLayout(ByteSource& content) {
  return ReadChunksLayout(content, ByteOrder::Big, "COMM", "SSND");
}

std::vector<Span> ChunkId3v2(ByteSource& content) {
  std::vector<Span> tags;
  char head[16];
  if (content.ReadAt(0, 16, head) != 16) return tags;
  const bool riff = std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0;
  if (riff || std::memcmp(head, "FORM", 4) == 0) {
    WalkChunks(content, riff ? ByteOrder::Little : ByteOrder::Big, [&](const Chunk& chunk) {
      if (IsId3Chunk(chunk.id)) tags.push_back(Id3v2At(content, chunk.offset + 8));
    });
  } else if (std::memcmp(head, "FRM8", 4) == 0) {
    DsdiffId3v2(content, tags);
  } else if (std::memcmp(head, "DSD ", 4) == 0) {
    char pointer[8];
    if (content.ReadAt(20, 8, pointer) == 8) {
      const auto at = static_cast<int64_t>(stream::LittleEndian64(pointer));
      if (at > 0 && at < content.Size()) tags.push_back(Id3v2At(content, at));
    }
  }
  return tags;
}

FileTags WavTags(TagLib::File& any) {
  auto& file = static_cast<TagLib::RIFF::WAV::File&>(any);
  // TagLib keeps both in memory whatever the file holds.
  return {{TagKind::Id3v2, file.ID3v2Tag(), file.hasID3v2Tag()},
          {TagKind::Info, file.InfoTag(), file.hasInfoTag()}};
}

bool SaveWav(TagLib::File& any) {
  auto& file = static_cast<TagLib::RIFF::WAV::File&>(any);
  int kinds = TagLib::RIFF::WAV::File::NoTags;
  if (file.hasID3v2Tag()) kinds |= TagLib::RIFF::WAV::File::ID3v2;
  if (file.hasInfoTag()) kinds |= TagLib::RIFF::WAV::File::Info;
  if (!file.hasID3v2Tag() && !HeldTagsShowAll(WavTags(file))) kinds |= TagLib::RIFF::WAV::File::ID3v2;
  return file.save(static_cast<TagLib::RIFF::WAV::File::TagTypes>(kinds), TagLib::File::StripNone,
                   Id3v2VersionOf(*file.ID3v2Tag(), file.hasID3v2Tag()));
}

bool SaveAiff(TagLib::File& any) {
  auto& file = static_cast<TagLib::RIFF::AIFF::File&>(any);
  return file.save(Id3v2VersionOf(*file.tag(), file.hasID3v2Tag()));
}

}  // namespace orvell::formats
