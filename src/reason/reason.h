// Why the current call on this thread failed, in a few words of English:
// what OV_LastError hands out. Each export starts with none; the code that
// meets a failure says why where it knows best, and the frame fills in a
// plainer reason where nothing below said one. Kept per thread, as the
// calls of different threads have nothing to do with each other.
#ifndef ORVELL_REASON_REASON_H
#define ORVELL_REASON_REASON_H

#include <string>

namespace orvell::reason {

// Forgets the last reason: a call begins, or ended well.
void Clear();

// The reason of the failure met here; a later Say replaces it (a fallback
// that failed too is the failure to tell).
void Say(const std::string& why);

// The reason, where nothing said one yet.
void SayUnlessSaid(const std::string& why);

// Says the reason for the error number error, after what: "no such file",
// "permission denied", ..., or the system's own words for others.
void SayError(const std::string& what, int error);

// A short text for an error number ("no such file").
std::string ErrorText(int error);

const std::string& Last();

}  // namespace orvell::reason

#endif
