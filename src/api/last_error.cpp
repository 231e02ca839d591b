// OV_LastError: why the last call of this thread failed.
#include "orvell.h"

#include "api/frame.h"
#include "reason/reason.h"

int32_t OV_LastError(char* buffer, int32_t size) {
  if (orvell::IsBadBuffer(buffer, size)) return orvell::kBadBuffer;
  return orvell::CopyTextOut(TagLib::String(orvell::reason::Last(), TagLib::String::UTF8), buffer, size);
}
