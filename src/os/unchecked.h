// Marks the result of a step that a save does not act on, with the reason
// it need not: the step could only fail where nothing better is left to
// do, or where the save stands complete either way.
#ifndef ORVELL_OS_UNCHECKED_H
#define ORVELL_OS_UNCHECKED_H

namespace orvell::os {

inline void Unchecked(bool /*succeeded*/, const char* /*why*/) {}

}  // namespace orvell::os

#endif
