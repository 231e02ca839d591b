// Rewriting a file in place as safely as replacing it. The bytes the
// rewrite replaces are first written aside to a journal (the file's side
// file, os/side_file.h), flushed and marked whole; then the new content is
// written over the file and flushed, and the journal removed. A failure on
// the way writes the old bytes back; a crash leaves the journal, and the
// next call on the file writes them back before anything else. So the
// file holds its old bytes or its new ones, whatever happens, and keeps
// everything that is not its bytes: owner, mode, attributes, links. The
// bytes go from file to file, never all through memory.
#ifndef ORVELL_SAVE_JOURNAL_H
#define ORVELL_SAVE_JOURNAL_H

#include <string>

#include "stream/overlay_stream.h"

namespace orvell::save {

// Writes stream's content over its file, saved under target, through a
// journal. True when the file holds the new content; false when it holds
// the old (or, where even that could not be written, when the journal
// waits beside it for the next call).
bool RewriteThroughJournal(stream::OverlayStream& stream, const std::string& target);

// What an interrupted save left beside source's file, dealt with before
// the file is read: a new content never renamed over it is removed, a
// journal not marked whole is removed, and a whole one is written back
// (source's facts then read again). Needs the file's lock held alone, and
// takes it so. False, and source closed, when the file may be half
// rewritten and cannot be put back by this process (it may not write the
// file): it is not to be read.
bool SettleInterruptedSave(stream::FileSource& source);

}  // namespace orvell::save

#endif
