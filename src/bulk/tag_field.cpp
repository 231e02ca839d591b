#include "bulk/tag_field.h"

namespace orvell {

namespace {
using TagLib::AudioProperties;
using TagLib::Tag;
constexpr const char* kNoKey = nullptr;
}  // namespace

const FieldEntry kFieldTable[kReadFieldCount] = {
    {TagField::Title, FieldKind::Text, FieldSource::TagText, kNoKey, &Tag::title, &Tag::setTitle, nullptr},
    {TagField::Artist, FieldKind::Text, FieldSource::TagText, kNoKey, &Tag::artist, &Tag::setArtist, nullptr},
    {TagField::AlbumArtist, FieldKind::Text, FieldSource::PropertyText, "ALBUMARTIST", nullptr, nullptr, nullptr},
    {TagField::Album, FieldKind::Text, FieldSource::TagText, kNoKey, &Tag::album, &Tag::setAlbum, nullptr},
    {TagField::Genre, FieldKind::Text, FieldSource::TagText, kNoKey, &Tag::genre, &Tag::setGenre, nullptr},
    {TagField::Comment, FieldKind::Text, FieldSource::TagText, kNoKey, &Tag::comment, &Tag::setComment, nullptr},
    {TagField::Composer, FieldKind::Text, FieldSource::PropertyText, "COMPOSER", nullptr, nullptr, nullptr},
    {TagField::Conductor, FieldKind::Text, FieldSource::PropertyText, "CONDUCTOR", nullptr, nullptr, nullptr},
    {TagField::Year, FieldKind::Integer, FieldSource::TagYear, kNoKey, nullptr, nullptr, nullptr},
    {TagField::Track, FieldKind::Integer, FieldSource::PairFirst, "TRACKNUMBER", nullptr, nullptr, nullptr},
    {TagField::TrackTotal, FieldKind::Integer, FieldSource::PairSecond, "TRACKNUMBER", nullptr, nullptr, nullptr},
    {TagField::Disc, FieldKind::Integer, FieldSource::PairFirst, "DISCNUMBER", nullptr, nullptr, nullptr},
    {TagField::DiscTotal, FieldKind::Integer, FieldSource::PairSecond, "DISCNUMBER", nullptr, nullptr, nullptr},
    {TagField::Duration, FieldKind::Integer, FieldSource::Audio, kNoKey, nullptr, nullptr, &AudioProperties::lengthInMilliseconds},
    {TagField::Bitrate, FieldKind::Integer, FieldSource::Audio, kNoKey, nullptr, nullptr, &AudioProperties::bitrate},
    {TagField::SampleRate, FieldKind::Integer, FieldSource::Audio, kNoKey, nullptr, nullptr, &AudioProperties::sampleRate},
    {TagField::Channels, FieldKind::Integer, FieldSource::Audio, kNoKey, nullptr, nullptr, &AudioProperties::channels},
};

}  // namespace orvell
