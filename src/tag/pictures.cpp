#include "tag/pictures.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cstring>

namespace orvell {

namespace {

std::string Utf8(const TagLib::String& text) { return text.to8Bit(true); }
TagLib::String FromUtf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

// ID3v2 APIC frames, in a tag of an MP3, WAV, AIFF or TrueAudio file.
class Id3v2Pictures final : public PictureStore {
 public:
  explicit Id3v2Pictures(TagLib::ID3v2::Tag& tag) : tag_(tag) {}
  std::vector<Picture> List() const override {
    std::vector<Picture> pictures;
    for (const TagLib::ID3v2::Frame* frame : tag_.frameList("APIC")) {
      const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
      if (apic == nullptr) continue;
      pictures.push_back({static_cast<int>(apic->type()), Utf8(apic->mimeType()),
                          Utf8(apic->description()), apic->picture()});
    }
    return pictures;
  }
  void Replace(const Picture& picture) override {
    Remove(picture.type);
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
    frame->setMimeType(FromUtf8(picture.mime));
    frame->setDescription(FromUtf8(picture.description));
    frame->setTextEncoding(TagLib::String::UTF8);
    frame->setPicture(picture.data);
    tag_.addFrame(frame);
  }
  void Remove(int type) override {
    const TagLib::ID3v2::FrameList frames = tag_.frameList("APIC");
    for (TagLib::ID3v2::Frame* frame : frames) {
      const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
      if (apic != nullptr && (type < 0 || static_cast<int>(apic->type()) == type)) {
        tag_.removeFrame(frame, true);
      }
    }
  }

 private:
  TagLib::ID3v2::Tag& tag_;
};

Picture FromFlac(const TagLib::FLAC::Picture& p) {
  return {static_cast<int>(p.type()), Utf8(p.mimeType()), Utf8(p.description()), p.data()};
}

TagLib::FLAC::Picture* ToFlac(const Picture& picture) {
  auto* flac = new TagLib::FLAC::Picture;
  flac->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
  flac->setMimeType(FromUtf8(picture.mime));
  flac->setDescription(FromUtf8(picture.description));
  flac->setData(picture.data);
  return flac;
}

// FLAC picture blocks, and pictures in a Xiph comment (Vorbis, Opus,
// Speex, FLAC in Ogg): the same picture records, kept by either.
template <typename Holder>
class FlacPictures final : public PictureStore {
 public:
  explicit FlacPictures(Holder& holder) : holder_(holder) {}
  std::vector<Picture> List() const override {
    std::vector<Picture> pictures;
    for (const TagLib::FLAC::Picture* p : holder_.pictureList()) pictures.push_back(FromFlac(*p));
    return pictures;
  }
  void Replace(const Picture& picture) override {
    Remove(picture.type);
    holder_.addPicture(ToFlac(picture));
  }
  void Remove(int type) override {
    // The pointers alone, taken before anything is removed: a Xiph
    // comment hands out a copy of its own list, which would delete every
    // picture once the removal made it the list's last owner.
    std::vector<TagLib::FLAC::Picture*> pictures;
    {
      const TagLib::List<TagLib::FLAC::Picture*> list = holder_.pictureList();
      pictures.assign(list.begin(), list.end());
    }
    for (TagLib::FLAC::Picture* p : pictures) {
      if (type < 0 || static_cast<int>(p->type()) == type) holder_.removePicture(p, true);
    }
  }

 private:
  Holder& holder_;
};

// The MP4 "covr" item: images of four formats, without a type or a
// description; every one reads as a front cover.
class Mp4Pictures final : public PictureStore {
 public:
  explicit Mp4Pictures(TagLib::MP4::Tag& tag) : tag_(tag) {}
  std::vector<Picture> List() const override {
    std::vector<Picture> pictures;
    if (!tag_.contains("covr")) return pictures;
    for (const TagLib::MP4::CoverArt& art : tag_.item("covr").toCoverArtList()) {
      pictures.push_back({kFrontCover, MimeOf(art.format(), art.data()), "", art.data()});
    }
    return pictures;
  }
  const char* CannotHold(const Picture& picture) const override {
    if (picture.type != kFrontCover) return "MP4 holds front covers only";
    if (!picture.description.empty()) return "MP4 holds no picture descriptions";
    if (FormatOf(picture.mime) == TagLib::MP4::CoverArt::Unknown) {
      return "MP4 holds JPEG, PNG, GIF and BMP pictures only";
    }
    return nullptr;
  }
  void Replace(const Picture& picture) override {
    TagLib::MP4::CoverArtList arts;
    arts.append(TagLib::MP4::CoverArt(FormatOf(picture.mime), picture.data));
    tag_.setItem("covr", TagLib::MP4::Item(arts));
  }
  void Remove(int type) override {
    if (type < 0 || type == kFrontCover) tag_.removeItem("covr");
  }

 private:
  static TagLib::MP4::CoverArt::Format FormatOf(const std::string& mime) {
    if (mime == "image/jpeg") return TagLib::MP4::CoverArt::JPEG;
    if (mime == "image/png") return TagLib::MP4::CoverArt::PNG;
    if (mime == "image/gif") return TagLib::MP4::CoverArt::GIF;
    if (mime == "image/bmp") return TagLib::MP4::CoverArt::BMP;
    return TagLib::MP4::CoverArt::Unknown;
  }
  static std::string MimeOf(TagLib::MP4::CoverArt::Format format, const TagLib::ByteVector& data) {
    switch (format) {
      case TagLib::MP4::CoverArt::JPEG: return "image/jpeg";
      case TagLib::MP4::CoverArt::PNG: return "image/png";
      case TagLib::MP4::CoverArt::GIF: return "image/gif";
      case TagLib::MP4::CoverArt::BMP: return "image/bmp";
      default: break;
    }
    const std::string told = ImageTypeOf(data);
    return told.empty() ? "application/octet-stream" : told;
  }

  TagLib::MP4::Tag& tag_;
};

// WMA's WM/Picture attributes.
class AsfPictures final : public PictureStore {
 public:
  explicit AsfPictures(TagLib::ASF::Tag& tag) : tag_(tag) {}
  std::vector<Picture> List() const override {
    std::vector<Picture> pictures;
    if (!tag_.contains("WM/Picture")) return pictures;
    for (const TagLib::ASF::Attribute& attribute : tag_.attribute("WM/Picture")) {
      const TagLib::ASF::Picture p = attribute.toPicture();
      if (!p.isValid()) continue;
      pictures.push_back({static_cast<int>(p.type()), Utf8(p.mimeType()), Utf8(p.description()),
                          p.picture()});
    }
    return pictures;
  }
  void Replace(const Picture& picture) override {
    Remove(picture.type);
    TagLib::ASF::Picture p;
    p.setType(static_cast<TagLib::ASF::Picture::Type>(picture.type));
    p.setMimeType(FromUtf8(picture.mime));
    p.setDescription(FromUtf8(picture.description));
    p.setPicture(picture.data);
    tag_.addAttribute("WM/Picture", TagLib::ASF::Attribute(p));
  }
  void Remove(int type) override {
    if (!tag_.contains("WM/Picture")) return;
    TagLib::ASF::AttributeList kept;
    for (const TagLib::ASF::Attribute& attribute : tag_.attribute("WM/Picture")) {
      const TagLib::ASF::Picture p = attribute.toPicture();
      if (type >= 0 && (!p.isValid() || static_cast<int>(p.type()) != type)) kept.append(attribute);
    }
    tag_.removeItem("WM/Picture");
    for (const TagLib::ASF::Attribute& attribute : kept) tag_.addAttribute("WM/Picture", attribute);
  }

 private:
  TagLib::ASF::Tag& tag_;
};

// The APE items "Cover Art (Front)" and the rest, one per picture type:
// the description, a NUL, the image; the MIME type is told from the image.
class ApePictures final : public PictureStore {
 public:
  explicit ApePictures(TagLib::APE::Tag& tag) : tag_(tag) {}
  std::vector<Picture> List() const override {
    // One pass over the tag's items, which are few, for the keys of
    // pictures, instead of a lookup per picture type.
    static const std::vector<TagLib::String> kUpperKeys = [] {
      std::vector<TagLib::String> keys;
      for (int type = 0; type <= kLastPictureType; ++type) keys.push_back(Key(type).upper());
      return keys;
    }();
    std::vector<Picture> pictures;
    for (const auto& [key, item] : tag_.itemListMap()) {
      if (item.type() != TagLib::APE::Item::Binary || !key.startsWith("COVER ART (")) continue;
      const auto known = std::find(kUpperKeys.begin(), kUpperKeys.end(), key);
      if (known == kUpperKeys.end()) continue;
      const TagLib::ByteVector bytes = item.binaryData();
      const int nul = bytes.find('\0');
      Picture picture;
      picture.type = static_cast<int>(known - kUpperKeys.begin());
      if (nul >= 0) {
        picture.description = Utf8(TagLib::String(bytes.mid(0, static_cast<unsigned>(nul)), TagLib::String::UTF8));
        picture.data = bytes.mid(static_cast<unsigned>(nul) + 1);
      } else {
        picture.data = bytes;
      }
      const std::string told = ImageTypeOf(picture.data);
      picture.mime = told.empty() ? "application/octet-stream" : told;
      pictures.push_back(picture);
    }
    std::sort(pictures.begin(), pictures.end(),
              [](const Picture& a, const Picture& b) { return a.type < b.type; });
    return pictures;
  }
  const char* CannotHold(const Picture& picture) const override {
    const std::string told = ImageTypeOf(picture.data);
    if (told.empty() || told != picture.mime) {
      return "APE tags keep no MIME type: the picture's bytes must tell it (JPEG, PNG, GIF, BMP, WebP)";
    }
    return nullptr;
  }
  void Replace(const Picture& picture) override {
    TagLib::ByteVector bytes(picture.description.data(), static_cast<unsigned>(picture.description.size()));
    bytes.append('\0');
    bytes.append(picture.data);
    tag_.setItem(Key(picture.type), TagLib::APE::Item(Key(picture.type), bytes, true));
  }
  void Remove(int type) override {
    for (int t = 0; t <= kLastPictureType; ++t) {
      if (type < 0 || t == type) tag_.removeItem(Key(t));
    }
  }

 private:
  static TagLib::String Key(int type) {
    static const char* const kNames[kLastPictureType + 1] = {
        "Other", "Icon", "Other Icon", "Front", "Back", "Leaflet", "Media", "Lead Artist",
        "Artist", "Conductor", "Band", "Composer", "Lyricist", "Recording Location",
        "During Recording", "During Performance", "Video Capture", "Fish", "Illustration",
        "Band Logotype", "Publisher Logotype"};
    return TagLib::String("Cover Art (") + kNames[type] + ")";
  }

  TagLib::APE::Tag& tag_;
};

template <typename Store, typename Holder>
std::unique_ptr<PictureStore> StoreOf(Holder* holder) {
  if (holder == nullptr) return nullptr;
  return std::make_unique<Store>(*holder);
}

}  // namespace

const char* PictureStore::CannotHold(const Picture&) const { return nullptr; }

std::string ImageTypeOf(const TagLib::ByteVector& data) {
  const auto starts = [&](const char* magic, size_t size) {
    return data.size() >= size && std::memcmp(data.data(), magic, size) == 0;
  };
  if (starts("\xFF\xD8\xFF", 3)) return "image/jpeg";
  if (starts("\x89PNG\r\n\x1A\n", 8)) return "image/png";
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return "image/gif";
  if (starts("BM", 2)) return "image/bmp";
  if (starts("RIFF", 4) && data.size() >= 12 && std::memcmp(data.data() + 8, "WEBP", 4) == 0) {
    return "image/webp";
  }
  return "";
}

std::unique_ptr<PictureStore> PicturesOf(TagLib::File& file, bool create) {
  using namespace TagLib;
  if (auto* f = dynamic_cast<MPEG::File*>(&file)) return StoreOf<Id3v2Pictures>(f->ID3v2Tag(create));
  if (auto* f = dynamic_cast<FLAC::File*>(&file)) return std::make_unique<FlacPictures<FLAC::File>>(*f);
  if (auto* f = dynamic_cast<Ogg::File*>(&file)) {
    return StoreOf<FlacPictures<Ogg::XiphComment>>(dynamic_cast<Ogg::XiphComment*>(f->tag()));
  }
  if (auto* f = dynamic_cast<MP4::File*>(&file)) return StoreOf<Mp4Pictures>(f->tag());
  if (auto* f = dynamic_cast<ASF::File*>(&file)) return StoreOf<AsfPictures>(f->tag());
  if (auto* f = dynamic_cast<RIFF::WAV::File*>(&file)) return StoreOf<Id3v2Pictures>(f->ID3v2Tag());
  if (auto* f = dynamic_cast<RIFF::AIFF::File*>(&file)) return StoreOf<Id3v2Pictures>(f->tag());
  if (auto* f = dynamic_cast<TrueAudio::File*>(&file)) return StoreOf<Id3v2Pictures>(f->ID3v2Tag(create));
  if (auto* f = dynamic_cast<APE::File*>(&file)) return StoreOf<ApePictures>(f->APETag(create));
  if (auto* f = dynamic_cast<WavPack::File*>(&file)) return StoreOf<ApePictures>(f->APETag(create));
  if (auto* f = dynamic_cast<MPC::File*>(&file)) return StoreOf<ApePictures>(f->APETag(create));
  return nullptr;
}

}  // namespace orvell
