/* Prints the tags and audio properties of each file named on the command
 * line, with one OV_ReadTags call per file, then every property and a line
 * per picture, each block walked with the helpers of orvell_block.h. */
#include <stdio.h>
#include <stdlib.h>

#include "orvell.h"
#include "orvell_block.h"

static const char *const kNames[OV_READ_FIELDS] = {
    "title",  "artist", "album artist", "album", "genre",       "comment",
    "composer", "conductor", "year",   "track", "track total", "disc",
    "disc total", "duration", "bitrate", "sample rate", "channels"};

/* Says why the last call failed, in the library's words. */
static int report(const char *path, const char *call, int32_t result) {
  char why[512];
  OV_LastError(why, sizeof why);
  fprintf(stderr, "%s: %s failed with %d: %s\n", path, call, (int)result, why);
  return 1;
}

/* The block of a read that tells the room it needs (OV_ReadProperties,
 * OV_ReadPictures): asked with NULL and 0, then read into a buffer of that
 * size. NULL when the call fails, *length set otherwise; free() it. */
static char *read_sized(const char *path, const char *call,
                        int32_t (*read_block)(const char *, char *, int32_t), int32_t *length) {
  const int32_t size = read_block(path, NULL, 0);
  char *block;
  if (size < 0) {
    report(path, call, size);
    return NULL;
  }
  block = malloc((size_t)size);
  if (block == NULL) return NULL;
  *length = read_block(path, block, size);
  if (*length < 0) {
    report(path, call, *length);
    free(block);
    return NULL;
  }
  return block;
}

static int print_tags(const char *path) {
  int32_t size = 8192;
  char *block = NULL;
  int32_t n;
  OV_Field fields[OV_READ_FIELDS];
  for (;;) {
    char *grown = realloc(block, (size_t)size);
    if (grown == NULL) {
      free(block);
      return 1;
    }
    block = grown;
    n = OV_ReadTags(path, block, size);
    if (n != -5 || size > (1 << 28)) break;
    size *= 2; /* the block did not fit: try again with more room */
  }
  if (n < 0) {
    free(block);
    return report(path, "OV_ReadTags", n);
  }
  if (!OV_BlockTags(block, n, fields)) {
    fprintf(stderr, "%s: malformed block\n", path);
    free(block);
    return 1;
  }
  printf("%s\n", path);
  for (int i = 0; i < OV_READ_FIELDS; ++i) {
    printf("  %-12s %.*s\n", kNames[i], (int)fields[i].size, fields[i].data);
  }
  free(block);
  return 0;
}

static int print_properties_and_pictures(const char *path) {
  int32_t length = 0;
  char *block = read_sized(path, "OV_ReadProperties", OV_ReadProperties, &length);
  OV_BlockReader reader;
  OV_Property property;
  OV_PictureInfo picture;
  OV_Field value;
  if (block == NULL) return 1;
  OV_BlockStart(&reader, block, length);
  while (OV_BlockProperty(&reader, &property) == 1) {
    while (OV_BlockField(&property.values, &value) == 1) {
      printf("  %.*s=%.*s\n", (int)property.key.size, property.key.data, (int)value.size,
             value.data);
    }
  }
  free(block);

  block = read_sized(path, "OV_ReadPictures", OV_ReadPictures, &length);
  if (block == NULL) return 1;
  OV_BlockStart(&reader, block, length);
  while (OV_BlockPicture(&reader, &picture) == 1) {
    printf("  picture      type %d, %.*s, %d bytes\n", (int)picture.type, (int)picture.mime.size,
           picture.mime.data, (int)picture.size);
  }
  free(block);
  return 0;
}

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const int failed = print_tags(argv[i]);
    status |= failed;
    if (!failed) status |= print_properties_and_pictures(argv[i]);
  }
  return status;
}
