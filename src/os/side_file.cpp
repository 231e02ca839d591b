#include "os/side_file.h"

#include <fcntl.h>
#include <linux/fs.h>

#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "os/file.h"
#include "os/system_calls.h"
#include "os/unchecked.h"
#include "reason/reason.h"

namespace orvell::os {

namespace {

// Long names are cut, so that the side file's name stays within NAME_MAX.
constexpr size_t kNameKept = 200;

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SideFilePath(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  return folder + "." + name.substr(0, kNameKept) + ".orvell-save";
}

bool FolderTakesReplacement(const std::string& folder) {
  const int descriptor = sys::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  int flags = 0;
  const bool append_only = sys::GetFlags(descriptor, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
  CloseFile(descriptor);
  return !append_only;
}

bool SyncFolder(const std::string& folder) {
  const int descriptor = sys::Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const bool synced = descriptor >= 0 && Sync(descriptor);
  CloseFile(descriptor);
  return synced;
}

SideFile::SideFile(std::string path) : path_(std::move(path)) {
  descriptor_ = sys::OpenNew(path_.c_str());
  if (descriptor_ < 0) reason::SayError("no side file can be made beside the file", errno);
}

SideFile::~SideFile() {
  CloseFile(descriptor_);
  if (descriptor_ >= 0 && !done_ && !kept_) RemoveSideFile(path_, false);
}

bool SideFile::RenameOver(const std::string& target) {
  if (sys::Rename(path_.c_str(), target.c_str()) != 0) return false;
  done_ = true;
  durable_ = SyncFolder(FolderOf(target));
  return true;
}

bool SideFile::Remove(bool durably) {
  done_ = true;
  return RemoveSideFile(path_, durably);
}

bool SideFileWaits(const std::string& path) {
  struct stat found;
  if (sys::Lstat(path.c_str(), &found) != 0) return false;
  if (found.st_size > 0) return true;
  Unchecked(sys::Unlink(path.c_str()) == 0, "an empty side file holds nothing to put back");
  return false;
}

bool RemoveSideFile(const std::string& path, bool durably) {
  if (sys::Unlink(path.c_str()) == 0) {
    if (durably) {
      Unchecked(SyncFolder(FolderOf(path)),
                "the file stands as it should; only the removal's surviving a power cut is in "
                "doubt, and a journal back after one is written back: the file's old bytes");
    }
    return true;
  }
  const int descriptor = sys::Open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  const bool emptied = descriptor >= 0 && Truncate(descriptor, 0) && Sync(descriptor);
  CloseFile(descriptor);
  return emptied;
}

}  // namespace orvell::os
