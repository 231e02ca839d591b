// A new file beside another, to be renamed over it once its content is
// whole: it is removed again, whatever ends the save, unless it was.
#ifndef ORVELL_OS_TEMPORARY_FILE_H
#define ORVELL_OS_TEMPORARY_FILE_H

#include <string>

namespace orvell::os {

class TemporaryFile {
 public:
  // A file ".NAME.orvell-XXXXXX" in the folder of target (a resolved
  // path), where NAME is target's file name; IsOpen() tells whether one
  // could be made there.
  explicit TemporaryFile(const std::string& target);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool IsOpen() const { return descriptor_ >= 0; }
  int Descriptor() const { return descriptor_; }
  // Renames the file over target, then flushes the folder so that the
  // rename itself lasts. False when the rename failed (the file is then
  // removed); a failed flush of the folder is left to durable().
  bool RenameOverTarget();
  // Whether the folder was flushed after the rename: when not, the new
  // content is in place, but whether it survives a power cut is in doubt.
  bool durable() const { return durable_; }

 private:
  std::string target_;
  std::string folder_;
  std::string path_;
  int descriptor_ = -1;
  bool renamed_ = false;
  bool durable_ = false;
};

}  // namespace orvell::os

#endif
