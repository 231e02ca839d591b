#include "reason/reason.h"

#include <cerrno>
#include <cstring>

namespace orvell::reason {

namespace {

std::string& Current() {
  thread_local std::string reason;
  return reason;
}

}  // namespace

void Clear() { Current().clear(); }

void Say(const std::string& why) { Current() = why; }

void SayUnlessSaid(const std::string& why) {
  if (Current().empty()) Current() = why;
}

std::string ErrorText(int error) {
  switch (error) {
    case ENOENT: return "no such file";
    case EACCES:
    case EPERM: return "permission denied";
    case ENOTDIR: return "a folder of the path is not a folder";
    case ENAMETOOLONG: return "the path is too long";
    case ELOOP: return "too many symbolic links";
    case EROFS: return "the file system is read-only";
    case ENOSPC: return "no space left on the device";
    case EDQUOT: return "the disk quota is used up";
    case EFBIG: return "the file would pass the file size limit";
    case EIO: return "an input/output error";
    default: break;
  }
  std::string text = std::strerror(error);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

void SayError(const std::string& what, int error) {
  Say(what.empty() ? ErrorText(error) : what + ": " + ErrorText(error));
}

const std::string& Last() { return Current(); }

}  // namespace orvell::reason
