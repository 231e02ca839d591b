/*
 * orvell_block.h - build and walk the blocks of orvell.h, in C99.
 *
 * The bulk calls of orvell.h exchange blocks of length-prefixed fields.
 * The static inline helpers below walk the blocks the library hands out
 * (OV_ReadTags, OV_ReadProperties, OV_ReadPictures) and build the blocks
 * it takes (OV_WriteTags, OV_WriteProperties). They call nothing in the
 * library, so a host may use them with any buffers it likes.
 *
 * OWNERSHIP
 *   As in orvell.h, the caller owns every buffer. The helpers allocate
 *   nothing and keep nothing: a field read from a block points into that
 *   block and is valid for as long as the block is; a block is built
 *   into a buffer the caller passes, and a write block borrows the texts
 *   it is given until it is built.
 *
 * READING
 *   A read block is fields back to back, each its byte count in decimal
 *   digits, a ":" and the bytes: "5:Title". OV_BlockStart sets a reader
 *   at the start of a block of a given length (the result of the read
 *   call); each OV_BlockField, OV_BlockProperty or OV_BlockPicture takes
 *   the next item and returns
 *      1   an item was taken, the reader moved past it
 *      0   the block has ended; nothing was taken
 *     -1   what follows is not such an item (a length without digits,
 *          with a leading zero, without its ":", or running past the
 *          end); the reader stays where it was
 *   A field's bytes are not NUL-terminated: print them with "%.*s".
 *
 *       char block[4096];
 *       int32_t n = OV_ReadProperties(path, block, sizeof block);
 *       OV_BlockReader reader;
 *       OV_Property property;
 *       OV_Field value;
 *       OV_BlockStart(&reader, block, n);
 *       while (OV_BlockProperty(&reader, &property) == 1)
 *         while (OV_BlockField(&property.values, &value) == 1)
 *           printf("%.*s=%.*s\n", (int)property.key.size, property.key.data,
 *                  (int)value.size, value.data);
 *
 * WRITING
 *   OV_WriterStart sets a writer on a caller buffer of capacity bytes
 *   (NULL and 0 only count). The OV_Writer functions append to it, and
 *   OV_WriterEnd ends the block with its NUL and returns the size it
 *   needs, NUL included, which is the size OV_WriteTags takes. The block
 *   is in the buffer only when that size is at most capacity; otherwise
 *   the buffer holds the empty text (which OV_WriteProperties takes as
 *   naming no key, and OV_WriteTags refuses as malformed), so a block cut
 *   short never reaches a file. Called first with NULL and 0, a writer
 *   tells the room the block needs, as the read calls of orvell.h do.
 *
 *       OV_TagChanges changes;
 *       char block[256];
 *       OV_BlockWriter writer;
 *       OV_TagChangesInit(&changes);
 *       OV_TagChangeText(&changes, OV_FIELD_TITLE, "Caf\xc3\xa9");
 *       OV_TagChangeNumber(&changes, OV_FIELD_YEAR, 2024);
 *       OV_TagChangeClear(&changes, OV_FIELD_COMMENT);
 *       OV_WriterStart(&writer, block, sizeof block);
 *       OV_WriterTags(&writer, &changes);
 *       int32_t size = OV_WriterEnd(&writer);
 *       if (size > 0 && size <= (int32_t)sizeof block) OV_WriteTags(path, block, size);
 */
#ifndef ORVELL_BLOCK_H
#define ORVELL_BLOCK_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================
 * Fields and their positions.
 * ====================================================================== */

/* The fields of OV_ReadTags' block, and of OV_WriteTags' records (the
 * first 13), by position; see the table in orvell.h. */
enum {
  OV_FIELD_TITLE = 0,
  OV_FIELD_ARTIST = 1,
  OV_FIELD_ALBUM_ARTIST = 2,
  OV_FIELD_ALBUM = 3,
  OV_FIELD_GENRE = 4,
  OV_FIELD_COMMENT = 5,
  OV_FIELD_COMPOSER = 6,
  OV_FIELD_CONDUCTOR = 7,
  OV_FIELD_YEAR = 8,
  OV_FIELD_TRACK = 9,
  OV_FIELD_TRACK_TOTAL = 10,
  OV_FIELD_DISC = 11,
  OV_FIELD_DISC_TOTAL = 12,
  OV_FIELD_DURATION = 13,
  OV_FIELD_BITRATE = 14,
  OV_FIELD_SAMPLE_RATE = 15,
  OV_FIELD_CHANNELS = 16
};
#define OV_READ_FIELDS 17
#define OV_WRITE_RECORDS 13

/* One field of a read block: size bytes at data, not NUL-terminated. */
typedef struct OV_Field {
  const char *data;
  int32_t size;
} OV_Field;

/* A position in a read block of size bytes; set by OV_BlockStart. */
typedef struct OV_BlockReader {
  const char *block;
  int32_t size;
  int32_t at;
} OV_BlockReader;

/* Sets reader at the start of block, of size bytes (a read call's
 * result; a negative size counts as an empty block). */
static inline void OV_BlockStart(OV_BlockReader *reader, const char *block, int32_t size) {
  reader->block = block;
  reader->size = size > 0 ? size : 0;
  reader->at = 0;
}

/* Takes the next field: 1, 0 or -1 as told under READING. */
static inline int OV_BlockField(OV_BlockReader *reader, OV_Field *field) {
  int32_t at = reader->at;
  int32_t length = 0;
  const int32_t first = at;
  if (at >= reader->size) return 0;
  while (at < reader->size && reader->block[at] >= '0' && reader->block[at] <= '9') {
    const int32_t digit = reader->block[at] - '0';
    if (length > (reader->size - digit) / 10) return -1; /* longer than the block */
    length = length * 10 + digit;
    ++at;
  }
  if (at == first || (at - first > 1 && reader->block[first] == '0')) return -1;
  if (at >= reader->size || reader->block[at] != ':') return -1;
  ++at;
  if (length > reader->size - at) return -1;
  field->data = reader->block + at;
  field->size = length;
  reader->at = at + length;
  return 1;
}

/* The field as a signed decimal number of int32_t ("-2", "2024"): 1 and
 * *value set, or 0 when it is no such number (*value untouched). */
static inline int OV_FieldNumber(OV_Field field, int32_t *value) {
  int32_t i = 0;
  int negative = 0;
  int64_t number = 0;
  if (field.size > 0 && field.data[0] == '-') {
    negative = 1;
    i = 1;
  }
  if (i >= field.size || field.size - i > 10) return 0;
  for (; i < field.size; ++i) {
    if (field.data[i] < '0' || field.data[i] > '9') return 0;
    number = number * 10 + (field.data[i] - '0');
  }
  if (negative) number = -number;
  if (number < INT32_MIN || number > INT32_MAX) return 0;
  *value = (int32_t)number;
  return 1;
}

/* Whether the field's bytes are the NUL-terminated text. */
static inline int OV_FieldIs(OV_Field field, const char *text) {
  const size_t length = strlen(text);
  return (size_t)field.size == length && (length == 0 || memcmp(field.data, text, length) == 0);
}

/* ======================================================================
 * Walking read blocks.
 * ====================================================================== */

/* OV_ReadTags' block (size bytes, its result) into its 17 fields, in the
 * order of the OV_FIELD_ positions: 1, or 0 when the block is not exactly
 * 17 fields (fields then holds what was taken before the fault). Numbers
 * are read with OV_FieldNumber. */
static inline int OV_BlockTags(const char *block, int32_t size, OV_Field fields[OV_READ_FIELDS]) {
  OV_BlockReader reader;
  int i;
  OV_BlockStart(&reader, block, size);
  for (i = 0; i < OV_READ_FIELDS; ++i) {
    if (OV_BlockField(&reader, &fields[i]) != 1) return 0;
  }
  return reader.at == reader.size;
}

/* One entry of OV_ReadProperties' block: its key (upper case), the count
 * of its values, and a reader over exactly those values, taken in turn
 * with OV_BlockField. */
typedef struct OV_Property {
  OV_Field key;
  int32_t count;
  OV_BlockReader values;
} OV_Property;

/* Takes the next entry with all its values: 1, 0 or -1 as told under
 * READING (-1 also for a count that is no number, and for values that run
 * past the block). */
static inline int OV_BlockProperty(OV_BlockReader *reader, OV_Property *property) {
  OV_BlockReader ahead = *reader;
  OV_Field key;
  OV_Field count;
  OV_Field value;
  int32_t values = 0;
  int32_t start;
  int32_t i;
  const int taken = OV_BlockField(&ahead, &key);
  if (taken != 1) return taken;
  if (OV_BlockField(&ahead, &count) != 1 || !OV_FieldNumber(count, &values) || values < 0) {
    return -1;
  }
  start = ahead.at;
  for (i = 0; i < values; ++i) {
    if (OV_BlockField(&ahead, &value) != 1) return -1;
  }
  property->key = key;
  property->count = values;
  OV_BlockStart(&property->values, reader->block + start, ahead.at - start);
  *reader = ahead;
  return 1;
}

/* One entry of OV_ReadPictures' block: the picture's type (3 is the
 * front cover), its MIME type, its description (UTF-8) and its size in
 * bytes, which OV_GetPicture hands out. */
typedef struct OV_PictureInfo {
  int32_t type;
  OV_Field mime;
  OV_Field description;
  int32_t size;
} OV_PictureInfo;

/* Takes the next picture's four fields: 1, 0 or -1 as told under READING
 * (-1 also for a type or size that is no number). */
static inline int OV_BlockPicture(OV_BlockReader *reader, OV_PictureInfo *picture) {
  OV_BlockReader ahead = *reader;
  OV_Field type;
  OV_Field size;
  OV_PictureInfo taken;
  const int first = OV_BlockField(&ahead, &type);
  if (first != 1) return first;
  if (OV_BlockField(&ahead, &taken.mime) != 1 || OV_BlockField(&ahead, &taken.description) != 1 ||
      OV_BlockField(&ahead, &size) != 1 || !OV_FieldNumber(type, &taken.type) ||
      !OV_FieldNumber(size, &taken.size)) {
    return -1;
  }
  *picture = taken;
  *reader = ahead;
  return 1;
}

/* ======================================================================
 * Building write blocks.
 * ====================================================================== */

/* A block being built into buffer (capacity bytes); set by
 * OV_WriterStart. length counts every byte appended so far, also those
 * that did not fit. */
typedef struct OV_BlockWriter {
  char *buffer;
  size_t capacity;
  size_t length;
} OV_BlockWriter;

/* Sets writer on buffer, of capacity bytes (NULL and 0 to count only),
 * and empties it. */
static inline void OV_WriterStart(OV_BlockWriter *writer, char *buffer, int32_t capacity) {
  writer->buffer = buffer;
  writer->capacity = buffer != NULL && capacity > 0 ? (size_t)capacity : 0;
  writer->length = 0;
  if (writer->capacity > 0) buffer[0] = '\0';
}

/* Appends bytes as they are: not part of the interface (a block is built
 * of the fields and records below). Bytes go in only while everything so
 * far fits, with room left for the NUL. */
static inline void ov_writer_bytes_(OV_BlockWriter *writer, const char *bytes, size_t size) {
  if (writer->length < writer->capacity && size < writer->capacity - writer->length) {
    memcpy(writer->buffer + writer->length, bytes, size);
  }
  writer->length += size;
}

/* Writes value in decimal into digits (20 bytes at least); returns the
 * count of digits, which end the array. Not part of the interface. */
static inline size_t ov_decimal_(char *digits, size_t room, uint64_t value) {
  size_t n = room;
  do {
    digits[--n] = (char)('0' + value % 10);
    value /= 10;
  } while (value > 0);
  return room - n;
}

/* Appends value in decimal; not part of the interface. */
static inline void ov_writer_decimal_(OV_BlockWriter *writer, uint64_t value) {
  char digits[20];
  const size_t n = ov_decimal_(digits, sizeof digits, value);
  ov_writer_bytes_(writer, digits + sizeof digits - n, n);
}

/* Appends value in decimal as a field of its own ("4:2024"); not part of
 * the interface. */
static inline void ov_writer_number_field_(OV_BlockWriter *writer, uint64_t value) {
  char digits[20];
  const size_t n = ov_decimal_(digits, sizeof digits, value);
  ov_writer_decimal_(writer, n);
  ov_writer_bytes_(writer, ":", 1);
  ov_writer_bytes_(writer, digits + sizeof digits - n, n);
}

/* Appends one field: size bytes of data, any bytes but NUL. */
static inline void OV_WriterField(OV_BlockWriter *writer, const char *data, size_t size) {
  ov_writer_decimal_(writer, size);
  ov_writer_bytes_(writer, ":", 1);
  ov_writer_bytes_(writer, data, size);
}

/* Appends one field holding the NUL-terminated text. */
static inline void OV_WriterText(OV_BlockWriter *writer, const char *text) {
  OV_WriterField(writer, text, strlen(text));
}

/* Appends the start of a property entry for OV_WriteProperties: the key
 * (printable ASCII, no "=", taken in upper case by the library) and the
 * count of values that must follow, each appended with OV_WriterText or
 * OV_WriterField. A count of 0 removes the key from the file. */
static inline void OV_WriterKey(OV_BlockWriter *writer, const char *key, int32_t count) {
  OV_WriterText(writer, key);
  ov_writer_number_field_(writer, (uint64_t)(count > 0 ? count : 0));
}

/* Appends a whole property entry: key with the count texts of values
 * (count 0, values NULL allowed: the key is removed). */
static inline void OV_WriterProperty(OV_BlockWriter *writer, const char *key,
                                     const char *const *values, int32_t count) {
  int32_t i;
  OV_WriterKey(writer, key, count);
  for (i = 0; i < count; ++i) OV_WriterText(writer, values[i]);
}

/* Ends the block with its NUL. Returns the size the block needs, NUL
 * included, or -1 when it would pass 2147483647 bytes. The block is in
 * the buffer only when the result is positive and at most the capacity;
 * otherwise the buffer holds the empty text. */
static inline int32_t OV_WriterEnd(OV_BlockWriter *writer) {
  if (writer->length < writer->capacity) {
    writer->buffer[writer->length] = '\0';
  } else if (writer->capacity > 0) {
    writer->buffer[0] = '\0';
  }
  return writer->length < (size_t)INT32_MAX ? (int32_t)(writer->length + 1) : -1;
}

/* ======================================================================
 * The 13 records of OV_WriteTags.
 * ====================================================================== */

/* What an OV_WriteTags record does with its field. */
enum { OV_KEEP = '0', OV_SET = '1', OV_CLEAR = '2' };

/* The change of each writable field: its action, and the text (fields 0
 * to 7, borrowed until the block is built) or number (8 to 12) a set
 * writes. */
typedef struct OV_TagChanges {
  char action[OV_WRITE_RECORDS];
  const char *text[OV_WRITE_RECORDS];
  int32_t number[OV_WRITE_RECORDS];
} OV_TagChanges;

/* Keeps every field. */
static inline void OV_TagChangesInit(OV_TagChanges *changes) {
  int i;
  for (i = 0; i < OV_WRITE_RECORDS; ++i) {
    changes->action[i] = OV_KEEP;
    changes->text[i] = NULL;
    changes->number[i] = 0;
  }
}

/* Sets text field (0 to 7) to text, "" included: 1, or 0 for another
 * field or a NULL text (nothing changed). */
static inline int OV_TagChangeText(OV_TagChanges *changes, int field, const char *text) {
  if (field < OV_FIELD_TITLE || field > OV_FIELD_CONDUCTOR || text == NULL) return 0;
  changes->action[field] = OV_SET;
  changes->text[field] = text;
  return 1;
}

/* Sets number field (8 to 12) to number: 1, or 0 for another field or a
 * negative number (nothing changed). */
static inline int OV_TagChangeNumber(OV_TagChanges *changes, int field, int32_t number) {
  if (field < OV_FIELD_YEAR || field > OV_FIELD_DISC_TOTAL || number < 0) return 0;
  changes->action[field] = OV_SET;
  changes->number[field] = number;
  return 1;
}

/* Clears a writable field (0 to 12): 1, or 0 for another field. What a
 * clear does to each field is told under OV_WriteTags in orvell.h. */
static inline int OV_TagChangeClear(OV_TagChanges *changes, int field) {
  if (field < OV_FIELD_TITLE || field > OV_FIELD_DISC_TOTAL) return 0;
  changes->action[field] = OV_CLEAR;
  return 1;
}

/* Appends the 13 records of changes: each the count of its action and
 * value bytes, ":", the action and the value. An action other than
 * OV_KEEP, OV_SET and OV_CLEAR is appended as it is, for the library to
 * refuse. */
static inline void OV_WriterTags(OV_BlockWriter *writer, const OV_TagChanges *changes) {
  int i;
  for (i = 0; i < OV_WRITE_RECORDS; ++i) {
    const char action = changes->action[i];
    if (action != OV_SET) {
      ov_writer_bytes_(writer, "1:", 2);
      ov_writer_bytes_(writer, &action, 1);
    } else if (i <= OV_FIELD_CONDUCTOR) {
      const char *text = changes->text[i] != NULL ? changes->text[i] : "";
      const size_t size = strlen(text);
      ov_writer_decimal_(writer, (uint64_t)size + 1);
      ov_writer_bytes_(writer, ":1", 2);
      ov_writer_bytes_(writer, text, size);
    } else {
      char digits[20];
      const int32_t number = changes->number[i] > 0 ? changes->number[i] : 0;
      const size_t n = ov_decimal_(digits, sizeof digits, (uint64_t)number);
      ov_writer_decimal_(writer, (uint64_t)n + 1);
      ov_writer_bytes_(writer, ":1", 2);
      ov_writer_bytes_(writer, digits + sizeof digits - n, n);
    }
  }
}

#ifdef __cplusplus
}
#endif

#endif /* ORVELL_BLOCK_H */
