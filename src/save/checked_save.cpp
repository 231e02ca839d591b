#include "save/checked_save.h"

#include <memory>
#include <typeinfo>

#include <taglib/audioproperties.h>
#include <taglib/tag.h>

#include "formats/format.h"
#include "formats/nesting.h"
#include "save/audio_compare.h"
#include "save/commit.h"
#include "reason/reason.h"
#include "seam/taglib_seam.h"

namespace orvell::save {

namespace {

using formats::Format;
using formats::Layout;
using stream::FileSource;
using stream::OverlayStream;

// What a save may add beyond four times what the caller gave it: room for
// the padding and the second tags (ID3v1 beside ID3v2, say) that formats
// write. A save that grows past that is not a tag save any more.
constexpr int64_t kGrowthSlack = 16 * 1024 * 1024;

// A field as the generic tag shows it, asked of the tag TagLib's union
// asks first: the union answers with that tag's field whenever it holds
// one, but only after asking for it twice.
template <typename Value>
Value FieldOf(const TagLib::Tag* first, const TagLib::Tag& tag, Value (TagLib::Tag::*read)() const) {
  if (first != nullptr) {
    Value value = (first->*read)();
    if (value != Value()) return value;
  }
  return (tag.*read)();
}

// What a reader sees of a file: whether it has a tag, the fields a save
// wrote, and the audio properties.
struct ReaderView {
  bool has_tag = false;
  TagLib::String texts[kTagTextCount];
  unsigned int year = 0;
  unsigned int track = 0;
  bool has_audio = false;
  int length = 0;
  int sample_rate = 0;
  int channels = 0;

  static ReaderView Of(const TagLib::FileRef& ref, const Format& format, GenericFields fields) {
    ReaderView view;
    std::unique_ptr<TagLib::Tag> made;
    if (const TagLib::Tag* tag = GenericTag(ref, made)) {
      view.has_tag = true;
      const TagLib::Tag* first =
          format.tag_asked_first == nullptr ? nullptr : format.tag_asked_first(*ref.file());
      for (size_t i = 0; i < kTagTextCount; ++i) {
        const auto field = static_cast<TagText>(i);
        if ((fields & FieldBit(field)) != 0) view.texts[i] = FieldOf(first, *tag, ReaderOf(field));
      }
      if ((fields & kYearBit) != 0) view.year = FieldOf(first, *tag, &TagLib::Tag::year);
      if ((fields & kTrackBit) != 0) view.track = FieldOf(first, *tag, &TagLib::Tag::track);
    }
    if (const TagLib::AudioProperties* audio = ref.audioProperties()) {
      view.has_audio = true;
      view.length = audio->lengthInMilliseconds();
      view.sample_rate = audio->sampleRate();
      view.channels = audio->channels();
    }
    return view;
  }

  bool operator==(const ReaderView& o) const {
    for (size_t i = 0; i < kTagTextCount; ++i) {
      if (texts[i] != o.texts[i]) return false;
    }
    return has_tag == o.has_tag && year == o.year && track == o.track && has_audio == o.has_audio &&
           length == o.length && sample_rate == o.sample_rate && channels == o.channels;
  }
};

// Whether the new content opens as the same kind of file and reads as
// expected, and holds all before held but what the call changed.
bool ReadsBack(OverlayStream& after, const TagLib::File& file, const Format& format,
               const SaveRequest& request, const ReaderView& expected, const Snapshot& before) {
  const GenericFields fields = request.changes.fields;
  // The new content must open again as every call opens a file: within
  // the nesting limits too, which a save can cross without deepening
  // anything (a declared tag size that ran past the end of the file may
  // fit the longer one).
  OverlayStream view(OverlayStream::ViewOf{after});
  if (formats::NestsTooDeep(view, after.Source().Path())) {
    reason::Say("save refused: the new content would nest deeper than TagLib can follow");
    return false;
  }
  const TagLib::FileRef again(&view, true, TagLib::AudioProperties::Average);
  const TagLib::File* reopened = again.file();
  if (reopened == nullptr || typeid(*reopened) != typeid(file)) {
    reason::Say("save refused: the new content would not open as the same kind of file");
    return false;
  }
  if (!(ReaderView::Of(again, format, fields) == expected)) {
    reason::Say("save refused: the new content would not read back as written (a value the "
                "format cannot hold?)");
    return false;
  }
  std::string difference;
  if (!SameBut(before, TakeSnapshot(again), request.changes, difference)) {
    reason::Say("save refused: the new content would change " + difference +
                ", which the call did not ask for");
    return false;
  }
  return true;
}

bool Refuse(const Layout& layout) {
  reason::Say(std::string("save refused: ") +
              (layout.unsafe_because != nullptr ? layout.unsafe_because : "TagLib would damage it"));
  return false;
}

// Whether the new content holds the file's audio unchanged, its layout
// read into now. Where the format allows, both are read only up to the
// bytes they end in alike; old is then read there too, and is read whole
// (with now) only when that does not settle it.
bool KeepsAudio(const Format& format, OverlayStream& after, FileSource& before, Layout& old) {
  if (format.reads_to_shared_end) {
    const int64_t shared = SharedEnd(after, before.Size());
    if (shared > 0) {
      old = format.read_layout(before, before.Size() - shared);
      if (!old.save_safe) return Refuse(old);
      const Layout now = format.read_layout(after, after.Size() - shared);
      if (old.audio_known && now.audio_known) return SameAudio(after, now, before, old);
    }
    old = format.read_layout(before, before.Size());
    if (!old.save_safe) return Refuse(old);
  }
  if (!old.audio_known) {
    if (format.needs_audio) reason::Say(std::string("save refused: ") + format.audio_not_found);
    return !format.needs_audio;
  }
  const Layout now = format.read_layout(after, after.Size());
  if (now.audio_known && SameAudio(after, now, before, old)) return true;
  reason::Say("save refused: the new content would not hold the file's audio unchanged");
  return false;
}

// Whether TagLib found an audio stream in the file at all. A file with
// none (an empty ".mp3") would be saved as a tag and nothing else. A
// stream TagLib measures without reading its sample rate (Opus or FLAC in
// MP4, on the 1.x line) still has its length.
bool HasAudioStream(const TagLib::File& file) {
  const TagLib::AudioProperties* audio = file.audioProperties();
  return audio != nullptr && (audio->sampleRate() > 0 || audio->lengthInMilliseconds() > 0);
}

}  // namespace

bool SaveChecked(TagLib::FileRef& ref, OverlayStream& stream, const SaveRequest& request,
                 const Snapshot& held) {
  TagLib::File* file = ref.file();
  if (file == nullptr) return false;
  if (!HasAudioStream(*file)) {
    reason::Say("save refused: TagLib finds no audio stream in the file");
    return false;
  }
  FileSource& before = stream.Source();
  const Format& format = formats::FormatOf(*file);
  if (format.tags_fit != nullptr && !format.tags_fit(*file)) return false;
  // The file's layout, read before TagLib's save where it decides whether
  // the save may run at all; Ogg's only after it, up to where the two
  // contents part.
  Layout old;
  if (!format.reads_to_shared_end) {
    old = format.read_layout(before, before.Size());
    if (!old.save_safe) return Refuse(old);
  }

  const int64_t allowance = kGrowthSlack + 4 * static_cast<int64_t>(request.input_bytes);
  // A save rewrites tags, not the file: more written than the whole file
  // and the allowance is a save that does not end.
  stream.LimitWrites(before.Size() + allowance);
  const ReaderView expected = ReaderView::Of(ref, format, request.changes.fields);
  const bool saved = formats::SaveInForm(format, *file);
  if (stream.Overflowed() || (saved && stream.Size() - before.Size() > allowance)) {
    reason::Say("save refused: the file would grow by more than 16 MiB beyond four times what "
                "was written");
    return false;
  }
  if (!saved) {
    reason::SayUnlessSaid("TagLib did not save the file");
    return false;
  }
  if (!stream.Changed()) return true;
  if (format.mend_save != nullptr && !format.mend_save(stream, before, old)) {
    reason::SayUnlessSaid("save refused: what TagLib's save leaves wrong could not be mended");
    return false;
  }

  if (!ReadsBack(stream, *file, format, request, expected, held)) return false;
  if (!KeepsAudio(format, stream, before, old)) return false;
  return Commit(stream, format.writes_in_place, old);
}

}  // namespace orvell::save
