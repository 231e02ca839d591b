// A TagLib::File that exists only in memory, reached the way every real
// file is: TagLib's FileRef asks its file type resolvers first, and the one
// installed here answers for every path ending in ".ovtest". It makes the
// paths a real file cannot reach testable: a file without a tag or without
// audio properties, a save that fails, TagLib throwing.
//
// The words of the file name choose the behaviour ("notag-failsave.ovtest"):
//   notag     tag() is null
//   noaudio   audioProperties() is null
//   failsave  save() reports failure and keeps nothing
//   throws    tag() and audioProperties() throw std::bad_alloc
//
// The file must exist on disk (TagLib opens it), but its content is never
// read: its tag fields live in one store shared by every fake file and
// survive from one open to the next, as a file's would. Not thread safe.
#ifndef ORVELL_TESTS_SUPPORT_FAKE_FILE_H
#define ORVELL_TESTS_SUPPORT_FAKE_FILE_H

#include <string>

#include "support/temp_files.h"

namespace orvell_test {

struct FakeFields {
  std::string title, artist, album, comment, genre;  // UTF-8
  unsigned int year = 0;
  unsigned int track = 0;
};

// What the fake files saw since the last ResetFake().
struct FakeLog {
  int opens = 0;  // files created by the resolver
  int saves = 0;  // save() calls, failed ones included
  // setProperties() calls. TagLib's generic property code writes every
  // standard field through the tag's setters, setTrack() included, exactly
  // once per call. The library calls setTrack() itself only to set back a
  // track number a write of the map dropped, which never happens to a fake
  // file (its map is its generic tag's), so each setTrack() marks one
  // setProperties() call, on every TagLib line.
  int property_writes = 0;
  FakeFields stored;  // the fields as last saved
};

FakeLog& Fake();
void ResetFake();

// Creates "<words>.ovtest" in dir and returns its path; installs the
// resolver on first use.
std::string MakeFakeFile(const TempDir& dir, const std::string& words);

}  // namespace orvell_test

#endif
