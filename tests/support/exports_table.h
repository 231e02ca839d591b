// Every export of orvell.h with its shape and the codes of its family, so
// that suites can run the same check over all 33.
#ifndef ORVELL_TESTS_SUPPORT_EXPORTS_TABLE_H
#define ORVELL_TESTS_SUPPORT_EXPORTS_TABLE_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace orvell_test {

enum class Shape { TextGetter, NumberGetter, TextSetter, NumberSetter, SyncSetter, BulkRead, BulkWrite };

using TextGetterFn = int32_t (*)(const char*, char*, int32_t);
using NumberGetterFn = int32_t (*)(const char*);
using TextSetterFn = int32_t (*)(const char*, const char*);
using NumberSetterFn = int32_t (*)(const char*, int32_t);
using TextIntFn = int32_t (*)(const char*, const char*, int32_t);

struct ExportCase {
  const char* name;
  Shape shape;
  // Exactly one of these is set, by shape (BulkRead uses text_getter,
  // SyncSetter and BulkWrite use text_int).
  TextGetterFn text_getter;
  NumberGetterFn number_getter;
  TextSetterFn text_setter;
  NumberSetterFn number_setter;
  TextIntFn text_int;
  int32_t not_opened;  // a missing or unopenable file
  int32_t no_tag;      // a file that opens without a tag, with good arguments
  bool writes;         // a setter (saves once)
};

const std::vector<ExportCase>& AllExports();

// Calls the export with valid arguments after the path: a 256-byte buffer,
// the text "x", the number 1, a write block setting the title to "x".
int32_t CallGood(const ExportCase& e, const char* path);

// Calls it with an invalid argument after the path (NULL buffer, NULL
// text, -1, NULL block). Number getters have none and are called as above.
int32_t CallBad(const ExportCase& e, const char* path);

// The name for a parameterized test.
std::string ExportName(const ExportCase& e);

// Lets GoogleTest print a case by its name.
inline void PrintTo(const ExportCase& e, std::ostream* os) { *os << e.name; }

}  // namespace orvell_test

#endif
