#include "formats/containers.h"

#include "formats/ape.h"

namespace orvell::formats {

Layout ReadWavPackLayout(ByteSource& content) {
  Layout layout;
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (end <= 0 || !stream::HasAt(content, 0, "wvpk")) return layout;
  layout.audio_known = true;
  layout.AddRun(0, end);
  return layout;
}

}  // namespace orvell::formats
