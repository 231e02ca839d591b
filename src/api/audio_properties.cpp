// Duration, bitrate, sample rate and channel count. No tag is needed.
#include "orvell.h"

#include "api/frame.h"

namespace orvell {
namespace {

template <typename Measure>
int32_t GetAudio(const char* path, Measure measure) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    return WithAudio(path, kNumberGetter, [&](const TagLib::AudioProperties& audio) {
      return static_cast<int32_t>(measure(audio));
    });
  });
}

}  // namespace
}  // namespace orvell

using orvell::GetAudio;
using TagLib::AudioProperties;

int32_t OV_GetDuration(const char* path) {
  return GetAudio(path, [](const AudioProperties& a) {
    return orvell::RoundedSeconds(a.lengthInMilliseconds());
  });
}
int32_t OV_GetBitrate(const char* path) {
  return GetAudio(path, [](const AudioProperties& a) { return a.bitrate(); });
}
int32_t OV_GetSampleRate(const char* path) {
  return GetAudio(path, [](const AudioProperties& a) { return a.sampleRate(); });
}
int32_t OV_GetChannels(const char* path) {
  return GetAudio(path, [](const AudioProperties& a) { return a.channels(); });
}
