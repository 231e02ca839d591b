/* Prints the tags and audio properties of each file named on the command
 * line, with one OV_ReadTags call per file and a decoder for its block. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "orvell.h"

static const char *const kNames[17] = {
    "title",  "artist", "album artist", "album", "genre",       "comment",
    "composer", "conductor", "year",   "track", "track total", "disc",
    "disc total", "duration", "bitrate", "sample rate", "channels"};

/* Reads one "<length>:<bytes>" field at *pos; returns its length or -1. */
static long next_field(const char *block, long size, long *pos, const char **value) {
  long length = 0;
  while (*pos < size && block[*pos] >= '0' && block[*pos] <= '9') {
    length = length * 10 + (block[*pos] - '0');
    ++*pos;
  }
  if (*pos >= size || block[*pos] != ':' || length > size - *pos - 1) return -1;
  *value = block + *pos + 1;
  *pos += 1 + length;
  return length;
}

static int print_file(const char *path) {
  int32_t size = 8192;
  char *block = NULL;
  int32_t n;
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
    fprintf(stderr, "%s: OV_ReadTags failed with %d\n", path, (int)n);
    free(block);
    return 1;
  }
  printf("%s\n", path);
  long pos = 0;
  for (int i = 0; i < 17; ++i) {
    const char *value = NULL;
    long length = next_field(block, n, &pos, &value);
    if (length < 0) {
      fprintf(stderr, "%s: malformed block\n", path);
      free(block);
      return 1;
    }
    printf("  %-12s %.*s\n", kNames[i], (int)length, value);
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
  for (int i = 1; i < argc; ++i) status |= print_file(argv[i]);
  return status;
}
