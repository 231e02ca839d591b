#include "tag/tag_field.h"

namespace orvell {

namespace {
using TagLib::AudioProperties;
constexpr const char* kNoKey = nullptr;
constexpr TagText kNoText = TagText::Title;  // not looked at
constexpr const PairKeys* kNoPair = nullptr;
}  // namespace

const FieldEntry kFieldTable[kReadFieldCount] = {
    {TagField::Title, FieldKind::Text, FieldSource::TagText, kNoKey, TagText::Title, kNoPair, nullptr},
    {TagField::Artist, FieldKind::Text, FieldSource::TagText, kNoKey, TagText::Artist, kNoPair, nullptr},
    {TagField::AlbumArtist, FieldKind::Text, FieldSource::PropertyText, "ALBUMARTIST", kNoText, kNoPair, nullptr},
    {TagField::Album, FieldKind::Text, FieldSource::TagText, kNoKey, TagText::Album, kNoPair, nullptr},
    {TagField::Genre, FieldKind::Text, FieldSource::TagText, kNoKey, TagText::Genre, kNoPair, nullptr},
    {TagField::Comment, FieldKind::Text, FieldSource::TagText, kNoKey, TagText::Comment, kNoPair, nullptr},
    {TagField::Composer, FieldKind::Text, FieldSource::PropertyText, "COMPOSER", kNoText, kNoPair, nullptr},
    {TagField::Conductor, FieldKind::Text, FieldSource::PropertyText, "CONDUCTOR", kNoText, kNoPair, nullptr},
    {TagField::Year, FieldKind::Integer, FieldSource::TagYear, kNoKey, kNoText, kNoPair, nullptr},
    {TagField::Track, FieldKind::Integer, FieldSource::PairFirst, kNoKey, kNoText, &kTrackKeys, nullptr},
    {TagField::TrackTotal, FieldKind::Integer, FieldSource::PairSecond, kNoKey, kNoText, &kTrackKeys, nullptr},
    {TagField::Disc, FieldKind::Integer, FieldSource::PairFirst, kNoKey, kNoText, &kDiscKeys, nullptr},
    {TagField::DiscTotal, FieldKind::Integer, FieldSource::PairSecond, kNoKey, kNoText, &kDiscKeys, nullptr},
    {TagField::Duration, FieldKind::Integer, FieldSource::Audio, kNoKey, kNoText, kNoPair, &AudioProperties::lengthInMilliseconds},
    {TagField::Bitrate, FieldKind::Integer, FieldSource::Audio, kNoKey, kNoText, kNoPair, &AudioProperties::bitrate},
    {TagField::SampleRate, FieldKind::Integer, FieldSource::Audio, kNoKey, kNoText, kNoPair, &AudioProperties::sampleRate},
    {TagField::Channels, FieldKind::Integer, FieldSource::Audio, kNoKey, kNoText, kNoPair, &AudioProperties::channels},
};

}  // namespace orvell
