// The file beside one being saved, ".NAME.orvell-save" in its folder: the
// new content of a save that replaces the file, or the journal of one that
// rewrites it in place. Its name is fixed, so that a later call on the
// file finds what an interrupted save left there; the file's lock keeps
// two saves of it from using the name at once.
#ifndef ORVELL_OS_SIDE_FILE_H
#define ORVELL_OS_SIDE_FILE_H

#include <string>

namespace orvell::os {

// The side file's path for target, the file's path (its last part no
// symbolic link). Names too long to take the affix are cut.
std::string SideFilePath(const std::string& target);

// The folder of a path.
std::string FolderOf(const std::string& path);

// Whether a side file that is not empty is at path. An empty one is what a
// save killed before its first write left, or a journal emptied in a
// folder that forbids removing it (RemoveSideFile): it is removed, where
// that can be, and otherwise taken for none.
bool SideFileWaits(const std::string& path);

// Whether a file replaced in folder can be: false for an append-only
// folder, where a name can be neither renamed over nor removed.
bool FolderTakesReplacement(const std::string& folder);

// Flushes folder's entries to the disk, so that a rename or removal in it
// lasts.
bool SyncFolder(const std::string& folder);

class SideFile {
 public:
  // Creates the side file at path for writing; IsOpen() tells whether it
  // could be (it may exist already, or the folder may not be writable).
  explicit SideFile(std::string path);
  // Removes the file unless it was renamed or kept.
  ~SideFile();
  SideFile(const SideFile&) = delete;
  SideFile& operator=(const SideFile&) = delete;

  bool IsOpen() const { return descriptor_ >= 0; }
  int Descriptor() const { return descriptor_; }
  const std::string& Path() const { return path_; }

  // Renames the file over target, then flushes the folder so that the
  // rename itself lasts. False when the rename failed. A failed flush of
  // the folder leaves the new content in place, only its surviving a power
  // cut in doubt: durable() tells.
  bool RenameOver(const std::string& target);
  bool durable() const { return durable_; }
  // Leaves the file where it is: a journal whose save could not be undone
  // waits for the next call on its file.
  void Keep() { kept_ = true; }
  // Removes the file now (RemoveSideFile).
  bool Remove(bool durably);

 private:
  std::string path_;
  int descriptor_ = -1;
  bool done_ = false;  // renamed or kept
  bool kept_ = false;
  bool durable_ = false;
};

// Removes the side file at path; durably (its folder flushed after) for a
// journal, whose removal should last or the next call would take it for an
// interrupted save (a flush that fails leaves only that in doubt). In a
// folder that forbids removal (append-only), empties it instead: an empty
// side file is what no save left behind. False when it is neither removed
// nor emptied.
bool RemoveSideFile(const std::string& path, bool durably);

}  // namespace orvell::os

#endif
