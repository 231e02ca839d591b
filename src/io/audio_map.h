// The audio of a file: what a save must carry over unchanged. Found per
// container from the bytes, with no help from TagLib, so that a save can be
// checked against the file it came from.
#ifndef ORVELL_IO_AUDIO_MAP_H
#define ORVELL_IO_AUDIO_MAP_H

#include <cstdint>
#include <optional>
#include <vector>

#include <taglib/tfile.h>

#include "io/file_source.h"
#include "io/ogg_walk.h"
#include "io/overlay_stream.h"

namespace orvell::io {

enum class Container {
  Unknown,  // a format this file has no map for
  Mpeg,     // MPEG audio: everything between the tags
  Flac,     // STREAMINFO and the frames
  Ogg,      // Vorbis, Opus, Speex: every packet but the comments
  OggFlac,  // FLAC in Ogg: every packet but the comment block
  Mp4,      // the media data, and the chunk offsets pointing into it
  Asf,      // everything after the header object
  Wav,      // the format and data chunks
  Aiff,     // the COMM and SSND chunks
  WavPack,  // the blocks
  Bare,     // APE, Musepack, TrueAudio: everything between the tags
};

Container ContainerOf(const TagLib::File& file);

struct AudioMap {
  std::vector<Run> runs;          // bytes a decoder reads, in order
  std::vector<int64_t> pointers;  // file positions held in the file that point into them
  std::vector<uint64_t> granules;  // Ogg granule positions
  bool sized = false;  // the container's own size field matches the file
};

// The audio of content in container; nothing when its structure does not
// hold (or the container has no map).
std::optional<AudioMap> LocateAudio(Container container, Content& content);

// Whether after, the content a save would give the file, holds the audio
// of before, the file, unchanged; the audio of before is left in old. A
// file whose own audio cannot be located (a damaged file, or one of a
// format without a map) passes with old empty: the check made by opening
// the new content again is all there is for it.
bool KeepsAudio(Container container, OverlayStream& after, FileSource& before,
                std::optional<AudioMap>& old);

}  // namespace orvell::io

#endif
