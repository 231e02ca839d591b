/*
 * orvell.h - read and write the tags and audio properties of audio files.
 *
 * Orvell is a flat C interface over TagLib. Every function is one visit to
 * one file: it tests its arguments, opens the file, does its one job, saves
 * the file when it changed something, closes it and returns a signed 32-bit
 * result. No handle crosses this interface and nothing is remembered between
 * calls, so functions may be called in any order, from any thread.
 *
 * OWNERSHIP
 *   The caller owns every argument: the path, every input text and every
 *   output buffer. The library borrows them for the duration of the call
 *   only, never keeps a pointer to any of them, and allocates nothing on
 *   the caller's behalf.
 *
 * PATHS
 *   A path is a NUL-terminated narrow string naming the audio file. It is
 *   handed to TagLib unchanged; it must be non-NULL and non-empty.
 *
 * TEXT
 *   Text travels as UTF-8 in both directions. Input texts are NUL-terminated;
 *   an empty text is a value, not a missing argument. Output texts are
 *   written to a caller buffer of a given size in bytes, terminating NUL
 *   included. The single-field getters cut a text that does not fit at
 *   size - 1 bytes (the cut may fall inside a multi-byte character, and a
 *   result of size - 1 is also what an exactly fitting text gives);
 *   OV_ReadTags copies its block whole or not at all.
 *
 * RESULTS
 *   Every function returns an int32_t. A result of zero or more is data: a
 *   byte count, a field value, or 1 for a completed save. A negative result
 *   is an error code whose meaning depends on the function's family; the
 *   families and their codes are listed in the tables below, and every
 *   function names its family. Across all families:
 *     -1  the path is NULL or empty; nothing else was examined.
 *     -9  an unexpected internal failure, such as memory exhausted inside
 *         TagLib. The file was not saved by this call.
 *   Arguments are tested before the file is touched, in a fixed order:
 *   the path first, then the buffer, text, number or block.
 *
 *   A file "did not open" when it is missing, unreadable, or of a type
 *   TagLib does not handle. A format that cannot store a particular field
 *   silently drops it: setters report only whether the save succeeded.
 *
 * THREADS
 *   The library has no global state and takes no locks. Calls on different
 *   files are independent; two calls touching the same file at the same
 *   time are not coordinated.
 */
#ifndef ORVELL_H
#define ORVELL_H

#include <stdint.h>

#define ORVELL_VERSION_MAJOR 1
#define ORVELL_VERSION_MINOR 0
#define ORVELL_VERSION_PATCH 0

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(ORVELL_STATIC)
#    define OV_API
#  elif defined(ORVELL_BUILDING)
#    define OV_API __declspec(dllexport)
#  else
#    define OV_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__) || defined(__clang__)
#  define OV_API __attribute__((visibility("default")))
#else
#  define OV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================
 * Core tag fields: title, artist, album, genre, comment, year, track.
 * These go through the file's generic tag.
 * ====================================================================== */

/*
 * Tag text getters: OV_GetTitle, OV_GetArtist, OV_GetAlbum, OV_GetGenre,
 * OV_GetComment.
 *
 * Copy the field's text as UTF-8 into buffer (size bytes, NUL included),
 * cutting it at size - 1 bytes when it does not fit.
 *
 *    n >= 0  bytes copied, NUL not counted; 0 for an empty field
 *    -1      path NULL or empty
 *    -2      buffer NULL or size <= 0
 *    -3      the file did not open
 *    -4      the file has no tag
 *    -9      unexpected internal failure
 *
 * The buffer is written only on success: on -1 to -4 it is left exactly as
 * the caller passed it (after -9 it may hold the empty text).
 */
OV_API int32_t OV_GetTitle(const char *path, char *buffer, int32_t size);
OV_API int32_t OV_GetArtist(const char *path, char *buffer, int32_t size);
OV_API int32_t OV_GetAlbum(const char *path, char *buffer, int32_t size);
OV_API int32_t OV_GetGenre(const char *path, char *buffer, int32_t size);
OV_API int32_t OV_GetComment(const char *path, char *buffer, int32_t size);

/*
 * Tag text setters: OV_SetTitle, OV_SetArtist, OV_SetAlbum, OV_SetGenre,
 * OV_SetComment.
 *
 * Set the field to text (NUL-terminated UTF-8) and save the file. An empty
 * text empties the field. The file is saved even when the value is
 * unchanged.
 *
 *    1   saved
 *    -1  path NULL or empty
 *    -2  text NULL
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  the save failed
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_SetTitle(const char *path, const char *text);
OV_API int32_t OV_SetArtist(const char *path, const char *text);
OV_API int32_t OV_SetAlbum(const char *path, const char *text);
OV_API int32_t OV_SetGenre(const char *path, const char *text);
OV_API int32_t OV_SetComment(const char *path, const char *text);

/*
 * Tag number getters: OV_GetYear, OV_GetTrack.
 *
 * Return the year, or the track number, of the generic tag. OV_GetTrack
 * returns the track number alone, never the total (see OV_GetTrackTotal).
 *
 *    n >= 0  the value; 0 when the tag holds none
 *    -1      path NULL or empty
 *    -2      the file did not open
 *    -3      the file has no tag
 *    -9      unexpected internal failure
 */
OV_API int32_t OV_GetYear(const char *path);
OV_API int32_t OV_GetTrack(const char *path);

/*
 * OV_SetYear: set the year and save the file. A year of 0 removes it.
 *
 *    1   saved
 *    -1  path NULL or empty
 *    -2  year negative (the file is not opened)
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  the save failed
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_SetYear(const char *path, int32_t year);

/* ======================================================================
 * Audio properties, read only. None of these looks at the tag.
 * ====================================================================== */

/*
 * Audio property getters:
 *   OV_GetDuration    length in whole seconds, to the nearest second with
 *                     an exact half second rounded up (1499 ms gives 1,
 *                     1500 ms gives 2)
 *   OV_GetBitrate     average bitrate in kilobits per second, as TagLib
 *                     measures it
 *   OV_GetSampleRate  sample rate in hertz
 *   OV_GetChannels    number of channels
 *
 * Each call opens and measures the file afresh; OV_ReadTags returns all
 * four from one opening. A file without any tag reports them all the same.
 * The file is never changed.
 *
 *    n >= 0  the value (0 is a value, not an error)
 *    -1      path NULL or empty
 *    -2      the file did not open
 *    -3      the file has no audio properties
 *    -9      unexpected internal failure
 */
OV_API int32_t OV_GetDuration(const char *path);
OV_API int32_t OV_GetBitrate(const char *path);
OV_API int32_t OV_GetSampleRate(const char *path);
OV_API int32_t OV_GetChannels(const char *path);

/* ======================================================================
 * Extended text fields: album artist, composer, conductor.
 * These go through the file's property map under the keys "ALBUMARTIST",
 * "COMPOSER" and "CONDUCTOR". A key may hold several values; the getters
 * read the first, the setters leave exactly one (or none).
 * ====================================================================== */

/*
 * Property text getters: OV_GetAlbumArtist, OV_GetComposer,
 * OV_GetConductor.
 *
 * Copy the first value of the field as UTF-8 into buffer, cut as described
 * under TEXT; further values are ignored. The first byte of the buffer is
 * set to NUL before the file is opened, so after -3 the buffer holds the
 * empty text. The file is never changed.
 *
 *    n >= 0  bytes copied; 0 also when the field is absent
 *    -1      path NULL or empty (buffer untouched)
 *    -2      buffer NULL or size <= 0 (buffer untouched)
 *    -3      the file did not open (buffer holds the empty text)
 *    -9      unexpected internal failure (buffer holds the empty text)
 */
OV_API int32_t OV_GetAlbumArtist(const char *path, char *buffer, int32_t size);
OV_API int32_t OV_GetComposer(const char *path, char *buffer, int32_t size);
OV_API int32_t OV_GetConductor(const char *path, char *buffer, int32_t size);

/*
 * Property text setters: OV_SetAlbumArtist, OV_SetComposer,
 * OV_SetConductor.
 *
 * Replace every value of the field, however many, by text and save the
 * file; an empty text removes the field. All other properties are written
 * back as read. The file is saved even when the value is unchanged.
 *
 *    1   saved (also when the format cannot store this field)
 *    -1  path NULL or empty
 *    -2  text NULL
 *    -3  the file did not open
 *    -5  the save failed
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_SetAlbumArtist(const char *path, const char *text);
OV_API int32_t OV_SetComposer(const char *path, const char *text);
OV_API int32_t OV_SetConductor(const char *path, const char *text);

/*
 * OV_SetArtistSync: set the artist to text and, when flag is non-zero
 * (negative values included), the album artist to the same text as its
 * only value (an empty text then removes the album artist), with one save
 * for both. With flag 0 it is OV_SetArtist and the album artist is left
 * as it was.
 * Its codes are those of the tag text setters:
 *
 *    1   saved
 *    -1  path NULL or empty
 *    -2  text NULL
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  the save failed
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_SetArtistSync(const char *path, const char *text, int32_t flag);

/* ======================================================================
 * Track and disc numbers.
 * The track pair is stored as one text under "TRACKNUMBER" and the disc
 * pair under "DISCNUMBER": a number, optionally "/" and a total ("3/12").
 * Each setter rewrites its half and keeps the other; when both halves come
 * out as nothing to store (0 or less) the key is removed. Stored text that
 * does not parse reads as 0 and 0. The track number itself is read by
 * OV_GetTrack from the generic tag.
 * ====================================================================== */

/*
 * Pair getters: OV_GetTrackTotal, OV_GetDisc, OV_GetDiscTotal.
 *
 * Read the first value stored under the key; further values are ignored.
 * The file is never changed.
 *
 *    n       the number; 0 when absent or unreadable. A negative number
 *            stored in the file is returned as it is, so -1 and -2 can also
 *            be data (a stored "-2/5" makes OV_GetDisc return -2).
 *    -1      path NULL or empty
 *    -2      the file did not open
 *    -9      unexpected internal failure
 */
OV_API int32_t OV_GetTrackTotal(const char *path);
OV_API int32_t OV_GetDisc(const char *path);
OV_API int32_t OV_GetDiscTotal(const char *path);

/*
 * Pair setters: OV_SetTrack, OV_SetTrackTotal, OV_SetDisc, OV_SetDiscTotal.
 *
 * Write one half of the pair, keep the other as stored, and save:
 *
 *    stored   call                 stored after
 *    3/12     OV_SetTrack 5        5/12
 *    3/12     OV_SetTrack 0        0/12
 *    3        OV_SetTrack 0        (key removed)
 *    3/12     OV_SetTrackTotal 0   3
 *    (none)   OV_SetTrackTotal 12  0/12
 *    x/12     OV_SetDisc 2         2   (unreadable text counts as 0 and 0)
 *
 * The key is left with exactly one value, or none. The file is saved even
 * when the value is unchanged. What a format keeps is TagLib's business:
 * MP4 files hold each number in 16 bits (70000 reads back as 4464), and
 * TagLib's MP3 save drops a track pair whose number is 0 ("0/12"), total
 * included; the disc pair of an MP3 has no such limit.
 *
 *    1   saved
 *    -1  path NULL or empty
 *    -2  value negative (the file is not opened)
 *    -3  the file did not open
 *    -5  the save failed
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_SetTrack(const char *path, int32_t value);
OV_API int32_t OV_SetTrackTotal(const char *path, int32_t value);
OV_API int32_t OV_SetDisc(const char *path, int32_t value);
OV_API int32_t OV_SetDiscTotal(const char *path, int32_t value);

/* ======================================================================
 * Bulk exchange: all fields of a file in one visit.
 *
 * Both blocks list the fields by position, in this order:
 *
 *    0 title         5 comment      10 track total   15 sample rate (Hz)
 *    1 artist        6 composer     11 disc          16 channels
 *    2 album artist  7 conductor    12 disc total
 *    3 album         8 year         13 duration (s)
 *    4 genre         9 track        14 bitrate (kb/s)
 *
 * Fields 0 to 7 are UTF-8 texts, 8 to 16 integers; 13 to 16 are read only.
 * ====================================================================== */

/*
 * OV_ReadTags: read all 17 fields of the file into buffer as one block.
 *
 * The block is the 17 fields back to back, each written as
 *
 *     <length in decimal> ":" <length bytes of value>
 *
 * with no separator between fields. The length counts bytes, has no sign
 * and no leading zeros (an empty value is "0:"). Text values are raw UTF-8
 * and may themselves hold colons and digits: use the length, never search
 * for the next colon. Integer values are signed decimal ("-2" can occur).
 * Absent fields read as the empty text or 0; absent audio properties read
 * as 0. The track falls back to the generic tag's track number only when
 * "TRACKNUMBER" holds no value at all. The shortest block, with every text
 * empty and every number 0, is these 43 bytes:
 *
 *     0:0:0:0:0:0:0:0:1:01:01:01:01:01:01:01:01:0
 *
 * The block is followed by a NUL which the result does not count. It is
 * copied whole or not at all: when it does not fit, the result is -5 and
 * the caller retries with a larger buffer. The first byte of the buffer is
 * set to NUL before the file is opened.
 *
 *    n >= 43  the block's length in bytes, NUL not counted
 *    -1       path NULL or empty (buffer untouched)
 *    -2       buffer NULL or size <= 0 (buffer untouched)
 *    -3       the file did not open (buffer holds the empty text)
 *    -4       the file has no tag (buffer holds the empty text)
 *    -5       the block and its NUL need more than size bytes (buffer
 *             holds the empty text)
 *    -9       unexpected internal failure (buffer holds the empty text)
 *
 * The file is never changed.
 */
OV_API int32_t OV_ReadTags(const char *path, char *buffer, int32_t size);

/*
 * OV_WriteTags: apply a write block to the file with a single save.
 *
 * The block holds exactly 13 records, for fields 0 to 12 in the order
 * above, back to back and ended by a NUL that must lie within the first
 * size bytes (bytes after that NUL are ignored). Each record is
 *
 *     <N in decimal> ":" <action> <N - 1 bytes of value>
 *
 * where N (1 or more, leading zeros allowed) counts the action byte and
 * the value bytes, and the action is one byte:
 *     "0"  keep: leave the field alone (value must be empty)
 *     "1"  set: texts take any bytes but NUL, the empty value included;
 *          numbers take 1 or more digits, at most 2147483647
 *     "2"  clear: empty the field (value must be empty)
 * A set title "Café" (5 bytes) is "6:1Café"; a keep is "1:0". Clearing the
 * track number (field 9) removes the whole track pair and ignores field
 * 10; clearing the disc number (field 11) sets it to 0 and field 12 still
 * applies.
 *
 * The whole block is checked before the file is opened; a block that
 * keeps every field returns 0 without opening the file at all.
 *
 *    1   every change made and the file saved
 *    0   the block is valid and keeps every field; the file was not opened
 *    -1  path NULL or empty
 *    -2  block NULL or size <= 0
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  malformed block: framing, a length, a missing or extra record, a
 *        value on a keep or clear, or no NUL within size
 *    -6  an action byte other than "0", "1" or "2"
 *    -7  a number record set to an empty value, a non-digit or a value
 *        above 2147483647
 *    -8  the save failed
 *    -9  unexpected internal failure
 *
 * On -5, -6 and -7 the file was not opened. The first faulty record
 * decides the code.
 */
OV_API int32_t OV_WriteTags(const char *path, const char *block, int32_t size);

#ifdef __cplusplus
}
#endif

#endif /* ORVELL_H */
