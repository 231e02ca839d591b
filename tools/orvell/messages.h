// Words for the results of the two exports the tool calls, and the one
// shape of every failure message: "orvell: FILE: what went wrong".
#ifndef ORVELL_TOOLS_ORVELL_MESSAGES_H
#define ORVELL_TOOLS_ORVELL_MESSAGES_H

#include <cstdint>
#include <string>

namespace orvell_tool {

// The export whose family gives a negative result its meaning.
enum class Export { kReadTags, kWriteTags };

// What a negative result of the export means, for a user.
std::string DescribeResult(Export e, int32_t code);

// Prints "orvell: FILE: what" on stderr.
void ReportFailure(const std::string& file, const std::string& what);

}  // namespace orvell_tool

#endif
