#include "io/checked_save.h"

#include <typeinfo>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/audioproperties.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include "io/audio_map.h"
#include "io/commit.h"
#include "io/nesting.h"
#include "io/save_guards.h"

namespace orvell::io {

namespace {

// What a save may add beyond four times what the caller gave it: room for
// the padding and the second tags (ID3v1 beside ID3v2, say) that formats
// write. A save that grows past that is not a tag save any more.
constexpr int64_t kGrowthSlack = 16 * 1024 * 1024;

// The tag a file's generic tag asks first where that generic tag is
// TagLib's union of the file's tags (the same on both TagLib lines), or
// nullptr. The union answers with this tag's field whenever it holds one,
// but only after asking for it twice.
TagLib::Tag* Leading(TagLib::File& file) {
  const std::type_info& type = typeid(file);
  if (type == typeid(TagLib::FLAC::File)) {
    return static_cast<TagLib::FLAC::File&>(file).xiphComment(false);
  }
  if (type == typeid(TagLib::MPEG::File)) {
    return static_cast<TagLib::MPEG::File&>(file).ID3v2Tag(false);
  }
  if (type == typeid(TagLib::WavPack::File)) {
    return static_cast<TagLib::WavPack::File&>(file).APETag(false);
  }
  if (type == typeid(TagLib::APE::File)) {
    return static_cast<TagLib::APE::File&>(file).APETag(false);
  }
  return nullptr;
}

// A field as the generic tag shows it, asked of the leading tag first.
template <typename Value>
Value FieldOf(const TagLib::Tag* leading, const TagLib::Tag& tag,
              Value (TagLib::Tag::*read)() const) {
  if (leading != nullptr) {
    Value value = (leading->*read)();
    if (value != Value()) return value;
  }
  return (tag.*read)();
}

// What a reader sees of a file: whether it has a tag, the fields a save
// wrote, and the audio properties.
struct Reading {
  bool has_tag = false;
  TagLib::String texts[5];
  unsigned int year = 0;
  unsigned int track = 0;
  bool has_audio = false;
  int length = 0;
  int sample_rate = 0;
  int channels = 0;

  static Reading Of(const TagLib::FileRef& ref, const Written& written) {
    Reading reading;
    if (const TagLib::Tag* tag = ref.tag()) {
      reading.has_tag = true;
      const TagLib::Tag* leading = Leading(*ref.file());
      for (size_t i = 0; i < written.text_count; ++i) {
        reading.texts[i] = FieldOf(leading, *tag, written.texts[i]);
      }
      if (written.year) reading.year = FieldOf(leading, *tag, &TagLib::Tag::year);
      if (written.track) reading.track = FieldOf(leading, *tag, &TagLib::Tag::track);
    }
    if (const TagLib::AudioProperties* audio = ref.audioProperties()) {
      reading.has_audio = true;
      reading.length = audio->lengthInMilliseconds();
      reading.sample_rate = audio->sampleRate();
      reading.channels = audio->channels();
    }
    return reading;
  }

  bool operator==(const Reading& o) const {
    for (size_t i = 0; i < 5; ++i) {
      if (texts[i] != o.texts[i]) return false;
    }
    return has_tag == o.has_tag && year == o.year && track == o.track && has_audio == o.has_audio &&
           length == o.length && sample_rate == o.sample_rate && channels == o.channels;
  }
};

// Whether the new content opens as the same kind of file and reads as
// expected.
bool ReadsBack(OverlayStream& after, const TagLib::File& file, const Written& written,
               const Reading& expected) {
  // The new content must open again as every call opens a file: within
  // the nesting limits too, which a save can cross without deepening
  // anything (a declared tag size that ran past the end of the file may
  // fit the longer one).
  OverlayStream view(OverlayStream::ViewOf{after});
  if (NestsTooDeep(view)) return false;
  const TagLib::FileRef again(&view, true, TagLib::AudioProperties::Average);
  const TagLib::File* reopened = again.file();
  return reopened != nullptr && typeid(*reopened) == typeid(file) &&
         Reading::Of(again, written) == expected;
}

}  // namespace

bool SaveChecked(TagLib::FileRef& ref, OverlayStream& stream, const Written& written) {
  TagLib::File* file = ref.file();
  if (file == nullptr) return false;
  FileSource& before = stream.Source();
  const Container container = ContainerOf(*file);
  if (!SaveIsSafe(*file, container, before)) return false;

  const int64_t allowance = kGrowthSlack + 4 * static_cast<int64_t>(written.bytes);
  // A save rewrites tags, not the file: more written than the whole file
  // and the allowance is a save that does not end.
  stream.LimitWrites(before.Size() + allowance);
  const Reading expected = Reading::Of(ref, written);
  if (!ref.save() || stream.Overflowed()) return false;
  if (!stream.Changed()) return true;
  if (stream.Size() - before.Size() > allowance) return false;

  if (!ReadsBack(stream, *file, written, expected)) return false;
  std::optional<AudioMap> audio;
  if (!KeepsAudio(container, stream, before, audio)) return false;
  return Commit(stream, container, audio);
}

}  // namespace orvell::io
