#include "os/temporary_file.h"

#include <fcntl.h>

#include "os/file.h"
#include "os/system_calls.h"

namespace orvell::os {

namespace {

// Long names are cut, so that the temporary name stays within NAME_MAX.
constexpr size_t kNameKept = 200;

}  // namespace

TemporaryFile::TemporaryFile(const std::string& target) : target_(target) {
  const size_t slash = target.rfind('/');
  folder_ = slash == std::string::npos ? "." : target.substr(0, slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  path_ = folder_ + "/." + name.substr(0, kNameKept) + ".orvell-XXXXXX";
  descriptor_ = sys::Mkostemp(path_.data(), O_CLOEXEC);
}

TemporaryFile::~TemporaryFile() {
  CloseFile(descriptor_);
  if (descriptor_ >= 0 && !renamed_) sys::Unlink(path_.c_str());
}

bool TemporaryFile::RenameOverTarget() {
  renamed_ = sys::Rename(path_.c_str(), target_.c_str()) == 0;
  if (!renamed_) return false;
  const int folder = sys::Open(folder_.empty() ? "/" : folder_.c_str(),
                               O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  durable_ = folder >= 0 && Sync(folder);
  CloseFile(folder);
  return true;
}

}  // namespace orvell::os
