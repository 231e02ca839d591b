#include "formats/layout.h"

namespace orvell::formats {

void Layout::Refuse(const char* because) {
  if (save_safe) unsafe_because = because;
  save_safe = false;
}

void Layout::AddRun(int64_t offset, int64_t length) {
  Run run;
  run.first = spans.size();
  run.count = 1;
  run.length = length;
  spans.push_back({offset, length});
  audio.push_back(run);
}

}  // namespace orvell::formats
