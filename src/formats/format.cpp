#include "formats/format.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include "formats/containers.h"
#include "seam/taglib_seam.h"

namespace orvell::formats {

namespace {

template <typename... Files>
bool IsOneOf(const TagLib::File& file) {
  return ((dynamic_cast<const Files*>(&file) != nullptr) || ...);
}

// Readers of the whole content, whatever the stop.
template <Layout (*Read)(ByteSource&)>
Layout ReadingWhole(ByteSource& content, int64_t) {
  return Read(content);
}

Layout NoLayout(ByteSource&, int64_t) { return Layout(); }

TagLib::Tag* FlacAskedFirst(TagLib::File& file) {
  return static_cast<TagLib::FLAC::File&>(file).xiphComment(false);
}
TagLib::Tag* MpegAskedFirst(TagLib::File& file) {
  return static_cast<TagLib::MPEG::File&>(file).ID3v2Tag(false);
}
TagLib::Tag* WavPackAskedFirst(TagLib::File& file) {
  return static_cast<TagLib::WavPack::File&>(file).APETag(false);
}
TagLib::Tag* ApeAskedFirst(TagLib::File& file) {
  auto* ape = dynamic_cast<TagLib::APE::File*>(&file);
  return ape == nullptr ? nullptr : ape->APETag(false);
}

constexpr const char* kFlacStreamNotFound =
    "the file's FLAC stream does not start it (FLAC inside another container?)";
constexpr const char* kMp4MediaNotFound =
    "the MP4 file's media data could not be located: its boxes do not hold together";

struct Entry {
  bool (*is)(const TagLib::File& file);
  Format format;
};

// In the order a file is matched against them. Each row: the container,
// its layout, the tags_fit and tag_asked_first checks, needs_audio and why
// a save without it is refused, writes_in_place, reads_to_shared_end, then
// mend_save, tags_of and save.
const Entry kFormats[] = {
    {IsOneOf<TagLib::MPEG::File>,
     {Container::Mpeg, ReadingWhole<ReadMpegLayout>, nullptr, MpegAskedFirst, false, nullptr, true,
      false, nullptr, MpegTags, SaveMpeg}},
    {IsOneOf<TagLib::FLAC::File>,
     {Container::Flac, ReadingWhole<ReadFlacLayout>, FlacBlocksFit, FlacAskedFirst, true,
      kFlacStreamNotFound, true, false, nullptr, nullptr, nullptr}},
    {IsOneOf<TagLib::Ogg::FLAC::File>,
     {Container::OggFlac, ReadOggFlacLayout, nullptr, nullptr, false, nullptr, false, true,
      kTagLibSavesOggFlacWhole ? nullptr : MendOggFlac, nullptr, nullptr}},
    {IsOneOf<TagLib::Ogg::Vorbis::File, TagLib::Ogg::Opus::File, TagLib::Ogg::Speex::File>,
     {Container::Ogg, ReadOggLayout, nullptr, nullptr, false, nullptr, false, true, nullptr, nullptr,
      nullptr}},
    {IsOneOf<TagLib::MP4::File>,
     {Container::Mp4, ReadingWhole<ReadMp4Layout>, nullptr, nullptr, true, kMp4MediaNotFound, true,
      false, MoveMp4Pointers, nullptr, nullptr}},
    {IsOneOf<TagLib::ASF::File>,
     {Container::Asf, ReadingWhole<ReadAsfLayout>, AsfTextsFit, nullptr, false, nullptr, true, false,
      nullptr, nullptr, nullptr}},
    {IsOneOf<TagLib::RIFF::WAV::File>,
     {Container::Wav, ReadingWhole<ReadWavLayout>, nullptr, nullptr, false, nullptr, true, false,
      nullptr, WavTags, SaveWav}},
    {IsOneOf<TagLib::RIFF::AIFF::File>,
     {Container::Aiff, ReadingWhole<ReadAiffLayout>, nullptr, nullptr, false, nullptr, true, false,
      nullptr, nullptr, SaveAiff}},
    {IsOneOf<TagLib::WavPack::File>,
     {Container::WavPack, ReadingWhole<ReadWavPackLayout>, nullptr, WavPackAskedFirst, false, nullptr,
      true, false, nullptr, ApeFamilyTags, SaveApeFamily}},
    {IsOneOf<TagLib::APE::File, TagLib::MPC::File, TagLib::TrueAudio::File>,
     {Container::BetweenTags, ReadingWhole<ReadBetweenTagsLayout>, nullptr, ApeAskedFirst, false,
      nullptr, true, false, nullptr, ApeFamilyTags, SaveApeFamily}},
};

const Format kUnknown{Container::Unknown, NoLayout, nullptr, nullptr, false, nullptr, true, false,
                      nullptr, nullptr, nullptr};

}  // namespace

bool SaveInForm(const Format& format, TagLib::File& file) {
  return format.save != nullptr ? format.save(file) : file.save();
}

const Format& FormatOf(const TagLib::File& file) {
  for (const Entry& entry : kFormats) {
    if (entry.is(file)) return entry.format;
  }
  return kUnknown;
}

}  // namespace orvell::formats
