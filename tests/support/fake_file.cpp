#include "support/fake_file.h"

#include <new>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/taglib.h>
#include <taglib/tfile.h>

namespace orvell_test {
namespace {

FakeLog log_state;

struct Modes {
  bool no_tag = false;
  bool no_audio = false;
  bool fail_save = false;
  bool throws = false;
};

Modes ModesOf(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  Modes modes;
  modes.no_tag = name.find("notag") != std::string::npos;
  modes.no_audio = name.find("noaudio") != std::string::npos;
  modes.fail_save = name.find("failsave") != std::string::npos;
  modes.throws = name.find("throws") != std::string::npos;
  return modes;
}

TagLib::String Text(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

class FakeTag : public TagLib::Tag {
 public:
  explicit FakeTag(const FakeFields& fields) : fields_(fields) {}
  const FakeFields& fields() const { return fields_; }

  TagLib::String title() const override { return Text(fields_.title); }
  TagLib::String artist() const override { return Text(fields_.artist); }
  TagLib::String album() const override { return Text(fields_.album); }
  TagLib::String comment() const override { return Text(fields_.comment); }
  TagLib::String genre() const override { return Text(fields_.genre); }
  unsigned int year() const override { return fields_.year; }
  unsigned int track() const override { return fields_.track; }
  void setTitle(const TagLib::String& s) override { fields_.title = s.to8Bit(true); }
  void setArtist(const TagLib::String& s) override { fields_.artist = s.to8Bit(true); }
  void setAlbum(const TagLib::String& s) override { fields_.album = s.to8Bit(true); }
  void setComment(const TagLib::String& s) override { fields_.comment = s.to8Bit(true); }
  void setGenre(const TagLib::String& s) override { fields_.genre = s.to8Bit(true); }
  void setYear(unsigned int i) override { fields_.year = i; }
  void setTrack(unsigned int i) override {
    fields_.track = i;
    ++log_state.property_writes;
  }

 private:
  FakeFields fields_;
};

class FakeAudio : public TagLib::AudioProperties {
 public:
  FakeAudio() : TagLib::AudioProperties(TagLib::AudioProperties::Average) {}
#if TAGLIB_MAJOR_VERSION >= 2
  int lengthInMilliseconds() const override { return 0; }
#else
  int length() const override { return 0; }
#endif
  int bitrate() const override { return 128; }
  int sampleRate() const override { return 44100; }
  int channels() const override { return 2; }
};

class FakeFile : public TagLib::File {
 public:
  FakeFile(TagLib::FileName name, Modes modes)
      : TagLib::File(name), modes_(modes), tag_(log_state.stored) {}

  TagLib::Tag* tag() const override {
    if (modes_.throws) throw std::bad_alloc();
    return modes_.no_tag ? nullptr : const_cast<FakeTag*>(&tag_);
  }
  TagLib::AudioProperties* audioProperties() const override {
    if (modes_.throws) throw std::bad_alloc();
    return modes_.no_audio ? nullptr : const_cast<FakeAudio*>(&audio_);
  }
  bool save() override {
    ++log_state.saves;
    if (modes_.fail_save) return false;
    log_state.stored = tag_.fields();
    return true;
  }

 private:
  Modes modes_;
  FakeTag tag_;
  FakeAudio audio_;
};

class FakeResolver : public TagLib::FileRef::FileTypeResolver {
 public:
  TagLib::File* createFile(TagLib::FileName name, bool,
                           TagLib::AudioProperties::ReadStyle) const override {
    const std::string path(name);
    const std::string suffix = ".ovtest";
    if (path.size() < suffix.size() ||
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) {
      return nullptr;
    }
    ++log_state.opens;
    return new FakeFile(name, ModesOf(path));
  }
};

void InstallResolver() {
  static FakeResolver resolver;
  static const bool installed = (TagLib::FileRef::addFileTypeResolver(&resolver), true);
  (void)installed;
}

}  // namespace

FakeLog& Fake() { return log_state; }

void ResetFake() { log_state = FakeLog(); }

std::string MakeFakeFile(const TempDir& dir, const std::string& words) {
  InstallResolver();
  const std::string path = dir.File(words + ".ovtest");
  WriteBytes(path, "fake");
  return path;
}

}  // namespace orvell_test
