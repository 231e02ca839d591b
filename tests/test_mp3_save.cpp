// Saving MP3 files: the ID3v1 tag TagLib keeps beside the ID3v2 tag must
// neither erase a track pair without a number nor fall out of step.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "orvell.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_test::TempDir;
using orvell_test::Values;

using Strings = std::vector<std::string>;

TEST(Mp3Save, ATrackTotalWithoutANumberIsKept) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  ASSERT_EQ(OV_SetTrackTotal(path.c_str(), 12), 1);
  EXPECT_EQ(Values(path, "TRACKNUMBER"), Strings{"0/12"});
  EXPECT_EQ(OV_GetTrackTotal(path.c_str()), 12);
  // A second save, now with an ID3v1 tag on disk, keeps it too.
  ASSERT_EQ(OV_SetTitle(path.c_str(), "Again"), 1);
  EXPECT_EQ(Values(path, "TRACKNUMBER"), Strings{"0/12"});

  // The same through the bulk write, and a number set to 0 later.
  const std::string bulk = dir.Copy("silence.mp3", "bulk.mp3");
  const char block[] = "1:01:01:01:01:01:01:01:01:01:02:191:01:0";
  ASSERT_EQ(OV_WriteTags(bulk.c_str(), block, sizeof block), 1);
  EXPECT_EQ(Values(bulk, "TRACKNUMBER"), Strings{"0/9"});
  ASSERT_EQ(OV_SetTrack(bulk.c_str(), 4), 1);
  ASSERT_EQ(OV_SetTrack(bulk.c_str(), 0), 1);
  EXPECT_EQ(Values(bulk, "TRACKNUMBER"), Strings{"0/9"});
}

TEST(Mp3Save, TheId3v1TagFollowsTheId3v2Tag) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  ASSERT_EQ(OV_SetArtist(path.c_str(), "Artist"), 1);
  ASSERT_EQ(OV_SetTrack(path.c_str(), 5), 1);
  TagLib::MPEG::File file(path.c_str());
  ASSERT_NE(file.ID3v1Tag(), nullptr);
  // The title was only ever in the ID3v2 tag; it is copied over as well.
  EXPECT_EQ(file.ID3v1Tag()->title().to8Bit(true), "Silence");
  EXPECT_EQ(file.ID3v1Tag()->artist().to8Bit(true), "Artist");
  EXPECT_EQ(file.ID3v1Tag()->track(), 5u);
}

TEST(Mp3Save, FieldsOnlyTheId3v1TagHoldsMoveIntoTheId3v2Tag) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  {
    // An older tagger's file: the fields in ID3v1, none in ID3v2.
    TagLib::MPEG::File file(path.c_str());
    file.ID3v1Tag(true)->setArtist("Old Artist");
    file.ID3v1Tag(true)->setTrack(7);
    ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripNone));
  }
  ASSERT_EQ(OV_SetAlbum(path.c_str(), "Album"), 1);
  TagLib::MPEG::File file(path.c_str());
  ASSERT_NE(file.ID3v2Tag(), nullptr);
  EXPECT_EQ(file.ID3v2Tag()->artist().to8Bit(true), "Old Artist");
  EXPECT_EQ(file.ID3v2Tag()->track(), 7u);
  EXPECT_EQ(file.ID3v2Tag()->album().to8Bit(true), "Album");
}

}  // namespace
