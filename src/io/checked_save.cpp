#include "io/checked_save.h"

#include <typeinfo>

#include <taglib/audioproperties.h>
#include <taglib/tag.h>

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

// What a reader sees of a file: the generic tag and the audio properties.
struct Reading {
  bool has_tag = false;
  TagLib::String title, artist, album, comment, genre;
  unsigned int year = 0;
  unsigned int track = 0;
  bool has_audio = false;
  int length = 0;
  int sample_rate = 0;
  int channels = 0;

  static Reading Of(const TagLib::FileRef& ref) {
    Reading reading;
    if (const TagLib::Tag* tag = ref.tag()) {
      reading.has_tag = true;
      reading.title = tag->title();
      reading.artist = tag->artist();
      reading.album = tag->album();
      reading.comment = tag->comment();
      reading.genre = tag->genre();
      reading.year = tag->year();
      reading.track = tag->track();
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
    return has_tag == o.has_tag && title == o.title && artist == o.artist && album == o.album &&
           comment == o.comment && genre == o.genre && year == o.year && track == o.track &&
           has_audio == o.has_audio && length == o.length && sample_rate == o.sample_rate &&
           channels == o.channels;
  }
};

// Whether the new content opens as the same kind of file and reads as
// expected.
bool ReadsBack(OverlayStream& after, const TagLib::File& file, const Reading& expected) {
  OverlayStream view(OverlayStream::ViewOf{after});
  if (NestsTooDeep(view)) return false;
  const TagLib::FileRef again(&view, true, TagLib::AudioProperties::Average);
  return !again.isNull() && typeid(*again.file()) == typeid(file) && Reading::Of(again) == expected;
}

}  // namespace

bool SaveChecked(TagLib::FileRef& ref, OverlayStream& stream, size_t input_bytes) {
  TagLib::File* file = ref.file();
  if (file == nullptr) return false;
  FileSource& before = stream.Source();
  const Container container = ContainerOf(*file);
  if (!SaveIsSafe(*file, container, before)) return false;

  const int64_t allowance = kGrowthSlack + 4 * static_cast<int64_t>(input_bytes);
  // A save rewrites tags, not the file: more written than the whole file
  // and the allowance is a save that does not end.
  stream.LimitWrites(before.Size() + allowance);
  const Reading expected = Reading::Of(ref);
  if (!ref.save() || stream.Overflowed()) return false;
  if (!stream.Changed()) return true;
  if (stream.Size() - before.Size() > allowance) return false;

  if (!ReadsBack(stream, *file, expected)) return false;
  std::optional<AudioMap> audio;
  if (!KeepsAudio(container, stream, before, audio)) return false;
  return Commit(stream, container, audio);
}

}  // namespace orvell::io
