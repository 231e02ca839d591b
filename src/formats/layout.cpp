#include "formats/layout.h"

namespace orvell::formats {

int64_t Run::Length() const {
  int64_t length = 0;
  for (const Span& span : spans) length += span.length;
  return length;
}

Run Run::Of(int64_t offset, int64_t length) {
  Run run;
  run.spans.push_back({offset, length});
  return run;
}

}  // namespace orvell::formats
