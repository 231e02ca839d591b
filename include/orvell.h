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
 *   an empty text is a value, not a missing argument. Input that is not
 *   valid UTF-8 is stored with each ill-formed sequence (a byte that cannot
 *   start a character, or a character cut short) replaced by U+FFFD and
 *   the rest kept, by every text setter and OV_WriteTags alike: the bytes
 *   "ok\xC3\xA9\xFF" are stored as "oké" followed by U+FFFD. (TagLib
 *   itself would store an empty text.) Output texts are written to a
 *   caller buffer of a given size in bytes, terminating NUL included. The
 *   single-field getters cut a text that does not fit at size - 1 bytes
 *   (the cut may fall inside a multi-byte character, and a result of
 *   size - 1 is also what an exactly fitting text gives); OV_ReadTags
 *   copies its block whole or not at all.
 *
 * WRITES
 *   A write changes the fields it is asked to and no other. A file may
 *   carry several tags (an MP3 its ID3v2 and ID3v1 tags, or an APE tag; a
 *   WAV file ID3v2 and RIFF INFO; APE and WavPack files an APE and an
 *   ID3v1 tag), and every field a reader saw before a write reads the same
 *   after it, also one held only by a tag other than the one TagLib reads
 *   the file's properties from. A field a write sets or clears is set in,
 *   or cleared from, every tag of the file that holds it, so that no tag
 *   is left with an older value another reader could show. Fields held
 *   only in a WAV file's RIFF INFO chunk read the same on both TagLib
 *   lines, through every getter and OV_ReadTags.
 *
 *   A save keeps the form of the file's tags: it writes the kinds of tag
 *   the file has, an ID3v2 tag in the version it has (2.3 stays 2.3), and
 *   no other. An MP3 without an ID3v1 tag gets none; one with an ID3v1 tag
 *   has it kept up to date. Only where the file has no tag, or where none
 *   it has can hold what is written (an ID3v1 tag holds 30 bytes of
 *   Latin-1 per text and no composer; RIFF INFO no album artist,
 *   conductor or disc number), does a tag of the format's main kind join
 *   them: ID3v2.4 (MP3, WAV, AIFF), or APE (APE, WavPack).
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
 *   TagLib does not handle. Only regular files are opened (symbolic links
 *   are followed): a FIFO, socket, device or directory is reported as not
 *   opened at once, without being opened. A file whose MP4 boxes or ID3v2
 *   chapter frames nest deeper than TagLib can follow without running out
 *   of stack (100 boxes, 64 chapter frames; real files nest a few levels)
 *   is not opened either, nor one whose lock another call held for over a
 *   minute, nor one whose interrupted save waits to be written back by a
 *   process that may write it (see SAVES). A format that cannot store a particular field
 *   silently drops it: setters report only whether the save succeeded.
 *
 * SAVES
 *   A save either completes with the whole new file on disk, or reports
 *   the save-failed code (-5 from a setter, -8 from OV_WriteTags) and
 *   leaves the file byte for byte as it was. TagLib's writes are kept in
 *   memory; before any byte reaches the disk, the new content is opened
 *   again through TagLib and must be the same kind of file, with the same
 *   duration, sample rate and channels, the tag fields the call wrote
 *   reading back as set, every property and picture it did not change
 *   reading as before, and the same audio bytes (in MP4 files, chunk
 *   offsets, fragment base offsets and the random-access index still
 *   pointing at them: TagLib's save moves only some of these, and the
 *   library moves the others with the data before the check). Space is
 *   reserved before anything is written and every write is checked, so a
 *   full disk, a file-size limit or an I/O error fails the save cleanly.
 *
 *   Right before anything is written, the file must still be what was
 *   read (the same file at the path, of the same size and change time):
 *   a file another program changed meanwhile is left as that program made
 *   it, and the save refused. Where the audio stays in place and only tag
 *   bytes change, they are written in place. Otherwise the new content is
 *   written to a file beside the original (".NAME.orvell-save"), given
 *   everything the original carries besides its bytes (owner and group,
 *   mode with set-id bits, extended attributes with ACLs, inode flags),
 *   flushed and renamed over it. Where the process may not give it all of
 *   that, or the file cannot be renamed over (it has several hard links,
 *   it stands in a sticky or append-only folder, it is mounted where it
 *   stands), the file is rewritten in place through a journal instead:
 *   the bytes it replaces are first written to ".NAME.orvell-save" and
 *   flushed. So a save never changes a file's owner, access, attributes
 *   or links. A save killed at any moment (a crash, a power cut) leaves
 *   the old file or the new one: a journal left behind is written back,
 *   and a new file never renamed removed, by the next call on the file
 *   (one that may not write the file then reports it as not opened). A
 *   tag rewritten in place may be left half written, never the audio.
 *   Two limits: the kernel clears a file's set-id bits when someone other
 *   than its owner writes it; and attributes in the trusted namespace,
 *   which only a process with CAP_SYS_ADMIN sees, are kept only by saves
 *   made with it. In an append-only folder the journal cannot be removed
 *   and stays behind, empty.
 *
 *   The save is refused, with the file unchanged, when:
 *     - TagLib finds no audio stream in the file at all: no audio
 *       properties, or neither a sample rate nor a length (an empty
 *       ".mp3", which a save would turn into a tag and nothing else).
 *       Such a file is still read; a short file is audio like any other;
 *     - the new content would not read back as described above (for
 *       instance an M4A track number above 32767, which MP4 cannot hold);
 *     - TagLib's save is known to damage such a file: an MP4 file whose
 *       chunk-offset tables do not fit their boxes, whose movie holds a
 *       box running past the end of the file or declaring size 0, whose
 *       first fragment's track header ends before the base offset it
 *       flags, or whose tables point at samples where no media data box
 *       holds any; a WMA
 *       file whose header object is of size 0 or runs past the end; a WAV
 *       or AIFF file cut short (a chunk runs past the end); FLAC in Ogg
 *       without a comment block, with TagLib before 2.2, which writes the
 *       new one over the stream header (where the comment is the last
 *       metadata block, the last-block flag such a TagLib clears is set
 *       again in the new content, which is then checked as any other);
 *       a file TagLib takes for FLAC whose FLAC stream
 *       does not start the file (after an ID3v2 tag), such as FLAC in
 *       Matroska, whose container TagLib's save would break;
 *     - a value does not fit its format: a FLAC comment or picture block
 *       over 16,777,215 bytes, a WMA title, artist, comment, copyright or
 *       rating over 32,766 UTF-16 units;
 *     - the file would grow by more than 16 MiB beyond four times what
 *       the call asked to write;
 *     - another program changed the file since the call read it;
 *     - the process may neither give a new file everything the file
 *       carries nor write the file itself.

 * THREADS AND PROCESSES
 *   The library keeps no state between calls, but the reason for the last
 *   failure of each thread (OV_LastError). Calls on different files are
 *   independent, from the first call of the process on: TagLib's own
 *   lookup tables, which it would otherwise fill on first use without a
 *   lock, are built once before any call reaches TagLib. Every call takes
 *   an advisory lock on its file (flock) for as long as it has the file
 *   open: shared to read, exclusive to save. So saves of one file, from
 *   any threads or processes using the library, follow each other and
 *   none loses another's update, and no call reads a file while a save
 *   rewrites it in place. A call waits up to a minute for the lock, then
 *   reports the file as not opened.
 */
#ifndef ORVELL_H
#define ORVELL_H

#include <stdint.h>

#define ORVELL_VERSION_MAJOR 1
#define ORVELL_VERSION_MINOR 1
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
 * These go through the file's generic tag. A text field holding several
 * values reads as those values joined by " / " ("Amon Tobin / Emancipator"),
 * whatever the format and TagLib version, which otherwise join them with
 * " ", " / " or ", ".
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
 *    -5  the save failed or was refused; the file is as it was (see SAVES)
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
 *    -5  the save failed or was refused; the file is as it was (see SAVES)
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
 *    -5  the save failed or was refused; the file is as it was (see SAVES)
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
 *    -5  the save failed or was refused; the file is as it was (see SAVES)
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
 * OV_GetTrack from the generic tag, and is the number a setter keeps when
 * "TRACKNUMBER" holds none (an MP3 whose track is only in its ID3v1 tag).
 *
 * Many taggers keep the total under a key of its own beside a number
 * without one: "TRACKTOTAL" or "TOTALTRACKS", "DISCTOTAL" or "TOTALDISCS".
 * When the pair text holds no total (or a total of 0), the total is read
 * from the first of those keys that holds a value; a total in the pair
 * text comes first. Whenever a setter or OV_WriteTags changes or removes a
 * pair, every such key the file has is set to the new total, or removed
 * with a total of 0 or the pair, so that no reader sees two totals; the
 * keys are never added.
 * ====================================================================== */

/*
 * Pair getters: OV_GetTrackTotal, OV_GetDisc, OV_GetDiscTotal.
 *
 * Read the first value stored under the key, and the total key when the
 * pair text holds no total; further values are ignored. The file is never
 * changed.
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
 * Write one half of the pair, keep the other as a reader sees it, and
 * save:
 *
 *    stored               call                 stored after
 *    3/12                 OV_SetTrack 5        5/12
 *    3/12                 OV_SetTrack 0        0/12
 *    3                    OV_SetTrack 0        (key removed)
 *    3/12                 OV_SetTrackTotal 0   3
 *    (none)               OV_SetTrackTotal 12  0/12
 *    (none), tag track 5  OV_SetTrackTotal 12  5/12
 *    5, TOTALTRACKS=10    OV_SetTrackTotal 11  5/11, TOTALTRACKS=11
 *    1, DISCTOTAL=2       OV_SetDiscTotal 0    1   (DISCTOTAL removed)
 *    x/12                 OV_SetDisc 2         2   (unreadable: 0 and 0)
 *
 * The key is left with exactly one value, or none. The file is saved even
 * when the value is unchanged. What a format keeps is TagLib's business:
 * MP4 files hold each number in 16 bits (70000 reads back as 4464).
 *
 *    1   saved
 *    -1  path NULL or empty
 *    -2  value negative (the file is not opened)
 *    -3  the file did not open
 *    -5  the save failed or was refused; the file is as it was (see SAVES)
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
 * The block is the 17 fields, in the order of the table above, back to
 * back with nothing before, between or after them. Each field is
 *
 *     <length> ":" <value>
 *
 * where length is the number of value bytes in decimal ASCII digits (no
 * sign, no leading zeros; "0" for an empty value). Texts (fields 0 to 7)
 * are their UTF-8 bytes, unescaped and never cut: a value may hold colons,
 * digits and any other byte, and the length counts bytes, not characters
 * ("Café" is "5:Café", "12:30" is "5:12:30"). Integers (fields 8 to 16)
 * are signed decimal: "-2" can occur, and 0 is "1:0".
 *
 * To decode, start at the first byte and 17 times: read digits up to the
 * ":" as the length n, take the n bytes after the ":" as the value, and
 * continue just after them. Never search for the next ":". The result is
 * the block's length, so the NUL after the block is not needed to find
 * its end.
 *
 * Where the values come from:
 *   - title, artist, album, genre, comment and year: the generic tag,
 *     several values joined by " / ";
 *   - album artist, composer, conductor: the first value of "ALBUMARTIST",
 *     "COMPOSER" and "CONDUCTOR"; empty when the key has none;
 *   - track and track total: the pair stored under "TRACKNUMBER" ("3/12"
 *     gives 3 and 12). Only when that key holds no value at all is the
 *     track the generic tag's track number (as OV_GetTrack reads it); a
 *     stored text that does not parse gives 0 and 0. A total the text
 *     does not hold comes from "TRACKTOTAL" or "TOTALTRACKS", as
 *     OV_GetTrackTotal reads it.
 *   - disc and disc total: the pair under "DISCNUMBER"; 0 and 0 when it
 *     holds none (no fallback), the total from "DISCTOTAL" or "TOTALDISCS"
 *     when the text holds none;
 *   - duration (whole seconds, half a second rounded up), bitrate, sample
 *     rate and channels: the audio properties; all 0 when the file has
 *     none.
 *
 * Example: a file tagged with the title "Abc", the year 2001 and the track
 * "3/12", and nothing else, lasting 214.6 s at 320 kb/s, 44100 Hz, stereo:
 *
 *     3:Abc0:0:0:0:0:0:0:4:20011:32:121:01:03:2153:3205:441001:2
 *
 * (58 bytes: a buffer of 59 or more bytes takes it). The shortest block,
 * every text empty and every number 0, is these 43 bytes:
 *
 *     0:0:0:0:0:0:0:0:1:01:01:01:01:01:01:01:01:0
 *
 * The block is followed by a NUL which the result does not count. It is
 * copied whole or not at all: when the block and its NUL need more than
 * size bytes, the result is -5 and the caller retries with a larger
 * buffer (-5 does not say how large). Blocks have no upper bound of their
 * own. The first byte of the buffer is set to NUL before the file is
 * opened; after success the bytes past the NUL are left as they were.
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
 * The block holds exactly 13 records, for fields 0 to 12 in the order of
 * the table above, back to back with no separators, ended by a NUL that
 * must lie within the first size bytes. Nothing may stand between the
 * last record and that NUL; bytes after the NUL are never read. Each
 * record is
 *
 *     <N> ":" <action> <value>
 *
 * where N, in decimal ASCII digits (leading zeros allowed), counts the
 * bytes after the ":": the one action byte plus the value bytes, so N is
 * 1 or more. The value is raw bytes, unescaped, and may hold any byte
 * but NUL, colons and digits included; N counts bytes, not characters.
 * The action is one byte:
 *     "0"  keep: leave the field as it is (value must be empty)
 *     "1"  set: fields 0 to 7 take any UTF-8 value, the empty one
 *          included; fields 8 to 12 take 1 or more decimal digits
 *          "0" to "9" of at most 2147483647 (no sign, no spaces)
 *     "2"  clear: empty the field (value must be empty)
 * A keep is "1:0", a clear "1:2", a set of the title "Café" (5 bytes)
 * "6:1Café", a set of the year 2024 "5:12024". This 55-byte block sets
 * the title to "Café", clears the album artist, sets the album to "Blue",
 * empties the comment, sets year 2024 and track 3 of 12, clears the disc
 * number and keeps everything else; with its NUL, size must be 56 or more:
 *
 *     6:1Café1:01:25:1Blue1:01:11:01:05:120242:133:1121:21:0
 *
 * What set and clear change:
 *   - title, artist, album, genre, comment (0, 1, 3, 4, 5) and year (8)
 *     are written to the generic tag; a clear, like an empty set, empties
 *     the text, and a clear of the year sets it to 0. These are applied
 *     after the property fields below, so they win where a format keeps
 *     the same field in both places.
 *   - album artist, composer, conductor (2, 6, 7): a set replaces every
 *     value of the key by the one value given (an empty set stores one
 *     empty value, which some formats drop on saving); a clear removes
 *     the key.
 *   - track and track total (9, 10) share "TRACKNUMBER", disc and disc
 *     total (11, 12) share "DISCNUMBER". A set or clear of one half keeps
 *     the other half as a reader sees it (a total from its own key
 *     included); the pair is written as "n", or "n/total" when the total
 *     is positive, and the key is removed when neither number is positive.
 *     Total keys the file has follow, as for the pair setters. Clearing
 *     the track number (9) removes the whole track pair and ignores record
 *     10 (which must still be valid). A kept track number comes from the
 *     generic tag's track number when "TRACKNUMBER" holds no value.
 *     Clearing the disc number (11) only sets it to 0: a disc total stays
 *     ("2/3" becomes "0/3"), and a kept disc number is 0 when "DISCNUMBER"
 *     holds none.
 *
 * The whole block is checked before the file is opened; a faulty block
 * never opens the file, and a block that keeps every field returns 0
 * without opening it at all, even when the path names no file. Records
 * are checked in order and the first faulty one decides the code; within
 * a record, its framing and length are checked first (-5), then the
 * action (-6), then a value on a keep or clear (-5), then the number of a
 * set (-7). So "99:3" as the first record of a short block is -5, not -6.
 *
 *    1   every change made and the file saved
 *    0   the block is valid and keeps every field; the file was not opened
 *    -1  path NULL or empty
 *    -2  block NULL or size <= 0
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  malformed block: no NUL within size, fewer or more than 13
 *        records, a length without digits, of 0 or reaching past the NUL,
 *        a byte other than a digit before a ":", or a value on a keep or
 *        clear
 *    -6  an action byte other than "0", "1" or "2"
 *    -7  a set of fields 8 to 12 with an empty value, a byte other than a
 *        digit, or a value above 2147483647
 *    -8  the save failed or was refused; the file is as it was (see SAVES)
 *    -9  unexpected internal failure
 *
 * A format that cannot store a field drops it silently; only the save
 * decides between 1 and -8.
 */
OV_API int32_t OV_WriteTags(const char *path, const char *block, int32_t size);

/* ======================================================================
 * Orvell 1.1: every property, every picture, and why a call failed.
 *
 * The blocks of these functions are fields back to back, each its byte
 * count in decimal ASCII, a ":" and the bytes (as in OV_ReadTags):
 * "5:Title" is one field. Numbers in a block are decimal ASCII in a field
 * ("2:12").
 *
 * The read functions (OV_ReadProperties, OV_ReadPictures, OV_GetPicture)
 * tell how much room they need: called with buffer NULL and size 0, they
 * read the file and return the size the buffer must have (the block and
 * its NUL; for OV_GetPicture the picture's bytes), writing nothing. Their
 * other results:
 *    n >= 0  bytes written, NUL not counted
 *    -1      path NULL or empty
 *    -2      buffer NULL with a size other than 0, or size < 0 (and for
 *            OV_GetPicture an index below 0)
 *    -3      the file did not open
 *    -4      the file has no tag
 *    -5      the buffer is too small: nothing but a NUL in its first byte
 *            is written (OV_GetPicture writes nothing); call again with
 *            the size the query returns
 *    -6      OV_GetPicture: no picture at that index
 *    -9      unexpected internal failure
 * ====================================================================== */

/*
 * OV_ReadProperties: every key of the file's property map, with all its
 * values. One entry per key, in the map's order (keys sorted): the key,
 * the count of its values, then each value, all fields. Keys are TagLib's
 * property keys, in upper case ("TITLE", "ARTIST", "ALBUMARTIST",
 * "MUSICBRAINZ_TRACKID", "REPLAYGAIN_TRACK_GAIN", a tag's own keys), the
 * values UTF-8, never joined:
 *
 *     5:TITLE1:113:Blue in Green6:ARTIST1:25:Miles8:Bill Ev.
 *
 * (with real lengths) is TITLE = "Blue in Green", ARTIST = "Miles" and
 * "Bill Ev.". A file without properties gives the empty block (0).
 */
OV_API int32_t OV_ReadProperties(const char *path, char *buffer, int32_t size);

/*
 * OV_WriteProperties: set the keys block names to the values it gives,
 * keep every other key, and save once. block holds entries as
 * OV_ReadProperties gives them, ended by its NUL: the key, the count of
 * its values, the values; a count of 0 removes the key. Keys are ASCII
 * of 1 to 255 bytes, printable, without "="; they are taken in upper
 * case. Values are UTF-8 (ill-formed sequences become U+FFFD, as for
 * every setter). The track and disc pairs keep their rules: a
 * "TRACKNUMBER" or "DISCNUMBER" set, or one of their total keys, leaves
 * the pair and every total key the file has telling the same total.
 *
 *    1   saved
 *    0   the block names no key; the file was not opened
 *    -1  path NULL or empty
 *    -2  block NULL
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  malformed block: a field without its length or running past the
 *        NUL, a count that is no number, a key named twice
 *    -6  a key that is not one (empty, too long, or a byte outside
 *        printable ASCII, or "=")
 *    -7  the format cannot hold one of the keys (ID3v1-only files, RIFF
 *        INFO, ...); nothing was saved
 *    -8  the save failed or was refused; the file is as it was
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_WriteProperties(const char *path, const char *block);

/*
 * OV_ReadPictures: one entry per embedded picture, in the order the file
 * keeps them, each four fields: its type (the ID3v2 picture types, 0 to
 * 20: 3 is the front cover, 4 the back cover), its MIME type, its
 * description (UTF-8) and its size in bytes; not the bytes themselves
 * (OV_GetPicture). "1:310:image/jpeg0:5:48213" is one front cover.
 * Where the format keeps them: ID3v2 APIC frames (MP3, WAV, AIFF,
 * TrueAudio), FLAC picture blocks, Vorbis comments (Ogg Vorbis, Opus,
 * Speex, FLAC in Ogg), the MP4 "covr" item (no type or description: every
 * picture reads as a front cover with none), WMA's WM/Picture, and APE's
 * "Cover Art (...)" items (APE, WavPack, Musepack; one per type, the MIME
 * type told from the image's first bytes).
 */
OV_API int32_t OV_ReadPictures(const char *path, char *buffer, int32_t size);

/*
 * OV_GetPicture: the bytes of picture index (from 0, in OV_ReadPictures'
 * order), copied whole into buffer, no NUL added; returns their count.
 */
OV_API int32_t OV_GetPicture(const char *path, int32_t index, char *buffer, int32_t size);

/*
 * OV_SetPicture: put the picture data (size bytes) of type (0 to 20) in
 * the place of every picture of that type, adding it where the file has
 * none, and save. mime NULL or empty: told from the bytes (JPEG, PNG,
 * GIF, BMP, WebP). description NULL: none.
 *
 *    1   saved
 *    -1  path NULL or empty
 *    -2  type outside 0 to 20, data NULL, size <= 0, or mime NULL and the
 *        bytes are none of those images
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  the save failed or was refused; the file is as it was
 *    -6  the format cannot hold this picture: it keeps none (MOD, ...),
 *        or not of this kind (MP4: front covers of JPEG, PNG, GIF or BMP
 *        without a description; APE: images whose bytes tell their type)
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_SetPicture(const char *path, int32_t type, const char *mime,
                             const char *description, const char *data, int32_t size);

/*
 * OV_RemovePictures: remove the pictures of type (0 to 20), or all with
 * -1, and save.
 *
 *    1   saved
 *    0   the file holds no such picture; nothing was saved
 *    -1  path NULL or empty
 *    -2  type outside -1 to 20
 *    -3  the file did not open
 *    -4  the file has no tag
 *    -5  the save failed or was refused; the file is as it was
 *    -9  unexpected internal failure
 */
OV_API int32_t OV_RemovePictures(const char *path, int32_t type);

/*
 * OV_LastError: why the last call of an OV_ function on this thread
 * failed, a short English text ("no such file", "permission denied",
 * "save refused: a chunk-offset table claims more entries than its box
 * holds", "another program changed the file since it was read"); the
 * empty text after a call that succeeded. Copied as the text getters copy
 * (cut at size - 1 bytes). Calling it changes nothing: it may be called
 * again.
 *
 *    n >= 0  bytes copied, NUL not counted
 *    -2      buffer NULL or size <= 0
 */
OV_API int32_t OV_LastError(char *buffer, int32_t size);

#ifdef __cplusplus
}
#endif

#endif /* ORVELL_H */
