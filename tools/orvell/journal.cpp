#include "journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "messages.h"

namespace orvell_tool {
namespace {

using nlohmann::ordered_json;
using orvell_blocks::kFieldNames;
using orvell_blocks::kWriteRecords;

// The current time as "2024-05-01T12:00:00Z".
std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// Whether value is one the field can hold: a string for a text, null or a
// whole number from 0 to 2147483647 for a number, an array of strings for a
// property key.
bool Holds(size_t field, const ordered_json& value) {
  if (field == kWriteRecords) {
    if (!value.is_array()) return false;
    for (const ordered_json& text : value) {
      if (!text.is_string()) return false;
    }
    return true;
  }
  if (orvell_blocks::IsTextField(field)) return value.is_string();
  if (value.is_null()) return true;
  return value.is_number_integer() && value.get<long long>() >= 0 &&
         value.get<long long>() <= 2147483647;
}

// Whether name is a property key as the journal writes one: a key
// (printable ASCII, no "=") with no lower-case letter, which no field name
// is.
bool IsPropertyKeyName(const std::string& name) {
  if (!IsPropertyKey(name)) return false;
  for (char c : name) {
    if (c >= 'a' && c <= 'z') return false;
  }
  return true;
}

// The record on one line of a journal; what is wrong with it, or "".
std::string ParseRecord(const std::string& line, JournalRecord& record) {
  const ordered_json json = ordered_json::parse(line, nullptr, false);
  if (!json.is_object()) return "not a JSON object";
  const auto path = json.find("path");
  if (path == json.end() || !path->is_string() || path->get<std::string>().empty()) {
    return "no \"path\"";
  }
  record.path = path->get<std::string>();
  const auto changes = json.find("changes");
  if (changes == json.end() || !changes->is_object()) return "no \"changes\"";
  for (const auto& item : changes->items()) {
    size_t field = 0;
    while (field < kWriteRecords && item.key() != kFieldNames[field]) ++field;
    if (field == kWriteRecords && !IsPropertyKeyName(item.key())) {
      record.unknown.push_back(item.key());
      continue;
    }
    const ordered_json& change = item.value();
    if (!change.is_object() || !change.contains("old") || !change.contains("new") ||
        !Holds(field, change["old"]) || !Holds(field, change["new"])) {
      return "\"" + item.key() + "\" is not an old and a new value of the " +
             (field == kWriteRecords ? "key" : "field");
    }
    record.changes.push_back({field, field == kWriteRecords ? item.key() : "", change["old"],
                              change["new"]});
  }
  return "";
}

}  // namespace

WritableFields CopyWritable(const orvell_blocks::ReadFieldViews& fields) {
  WritableFields copy;
  for (size_t i = 0; i < kWriteRecords; ++i) copy[i] = std::string(fields[i]);
  return copy;
}

ordered_json JournalValue(size_t field, std::string_view value) {
  if (orvell_blocks::IsTextField(field)) return std::string(value);
  const long long number = orvell_blocks::DecimalField(value);
  return number == 0 ? ordered_json(nullptr) : ordered_json(number);
}

ordered_json JournalValue(const PropertyValues& properties, const std::string& key) {
  const auto found = properties.find(key);
  ordered_json values = ordered_json::array();
  if (found != properties.end()) {
    for (const std::string& value : found->second) values.push_back(value);
  }
  return values;
}

ordered_json JournalChanges(const WritableFields& before, const WritableFields& after,
                            const std::vector<std::string>& keys,
                            const PropertyValues& properties_before,
                            const PropertyValues& properties_after) {
  ordered_json changes = ordered_json::object();
  for (size_t i = 0; i < kWriteRecords; ++i) {
    if (before[i] == after[i]) continue;
    changes[kFieldNames[i]] = {{"old", JournalValue(i, before[i])},
                               {"new", JournalValue(i, after[i])}};
  }
  for (const std::string& key : keys) {
    ordered_json old_values = JournalValue(properties_before, key);
    ordered_json new_values = JournalValue(properties_after, key);
    if (old_values == new_values) continue;
    changes[key] = {{"old", std::move(old_values)}, {"new", std::move(new_values)}};
  }
  return changes;
}

JournalWriter::~JournalWriter() {
  if (fd_ >= 0) close(fd_);
}

std::string JournalWriter::Open(const std::string& path) {
  fd_ = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  return fd_ < 0 ? "cannot open the journal: " + DescribeError(errno) : "";
}

std::string JournalWriter::Append(const std::string& file, const ordered_json& changes) {
  if (changes.empty()) return "";
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
  const ordered_json record = {
      {"path", ec ? file : absolute.string()}, {"time", UtcNow()}, {"changes", changes}};
  const std::string line =
      record.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
  for (size_t done = 0; done < line.size();) {
    const ssize_t n = write(fd_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return "could not add to the journal: " + DescribeError(n < 0 ? errno : EIO);
    done += static_cast<size_t>(n);
  }
  if (fdatasync(fd_) != 0) return "could not add to the journal: " + DescribeError(errno);
  return "";
}

bool ReadJournal(const std::string& path, std::vector<JournalRecord>& records, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const int cause = errno;
    error = cause == ENOENT ? DescribeError(cause) : "cannot read: " + DescribeError(cause);
    return false;
  }
  std::string line;
  for (size_t number = 1; std::getline(in, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    JournalRecord record;
    const std::string wrong = ParseRecord(line, record);
    if (!wrong.empty()) {
      error = "line " + std::to_string(number) + " is not a journal record: " + wrong;
      return false;
    }
    records.push_back(std::move(record));
  }
  if (in.bad()) {
    error = "cannot read: " + DescribeError(errno);
    return false;
  }
  return true;
}

}  // namespace orvell_tool
