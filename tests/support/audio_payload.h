// The bytes of an audio file that a decoder turns into sound, found by
// walking the container's own structure rather than by asking TagLib, so
// that a test can tell whether a tag write left the audio exactly as it
// was. Per format:
//
//   mp3   everything from the first MPEG frame (a valid header followed,
//         one frame on, by another of the same kind) after a leading ID3v2
//         tag up to trailing APEv2 and ID3v1 tags.
//   flac  the STREAMINFO block and every byte after the last metadata
//         block (the frames; they must start with a frame sync).
//   ogg, opus, oga
//         every packet of the logical stream except the comments (the
//         second packet of Vorbis, Opus and Speex; in FLAC in Ogg, the
//         metadata block of type 4; the codec is told by the first
//         packet), and the granule position of every page that has one.
//         Every page's CRC must be valid: the pages TagLib rewrites are
//         checked as a decoder would check them.
//   m4a, mp4
//         the boxes of each level up to the first that does not fit what
//         holds it (a decoder reads no further), and in them per track the
//         mdhd, stsd and stts boxes and every sample's bytes, read where
//         the chunk offset table says they lie; in a fragmented file also
//         the samples of every track fragment of every moof, read where
//         its header, its runs and the track's defaults say they lie.
//         Offsets that were not moved with the data show up as changed
//         samples; samples must lie outside the moov and moof boxes, and
//         every entry of the random-access index (tfra) must name a moof
//         box.
//   wav, aiff
//         the format chunk ("fmt " or COMM) and the sample data chunk
//         ("data" or SSND); the RIFF or FORM size must match the file.
//   wv    every WavPack block from the start of the file; what follows
//         them must be an APEv2 or ID3v1 tag.
//   ape   everything between a leading ID3v2 tag and trailing tags.
//   wma   everything after the ASF header object, which must be followed
//         by the data object.
//
// Each part is labelled ("frames", "packet 3", "track 1 samples"), so a
// failing comparison says where the audio changed. A file whose structure
// does not hold throws std::runtime_error.
#ifndef ORVELL_TESTS_SUPPORT_AUDIO_PAYLOAD_H
#define ORVELL_TESTS_SUPPORT_AUDIO_PAYLOAD_H

#include <string>
#include <utility>
#include <vector>

namespace orvell_test {

using AudioParts = std::vector<std::pair<std::string, std::string>>;

// The audio of file bytes in the container named by extension ("mp3",
// "flac", "ogg", "opus", "oga", "m4a", "mp4", "wav", "aiff", "wv", "ape",
// "wma").
AudioParts AudioPayload(const std::string& bytes, const std::string& extension);

// Gives every Ogg page of bytes, from the first, the checksum of what it
// now holds, so that a test can change a page the way a save would and
// still have pages a decoder accepts.
void FixOggChecksums(std::string& bytes);

}  // namespace orvell_test

#endif
