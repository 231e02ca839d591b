/* A program built against an installed Orvell: prints the title and year
 * of the file it is given, read with one OV_ReadTags call and taken from
 * its block with the helpers of orvell_block.h, and the version of the
 * header it was built with. */
#include <stdio.h>

#include <orvell.h>
#include <orvell_block.h>

int main(int argc, char **argv) {
  char block[4096];
  OV_Field fields[OV_READ_FIELDS];
  int32_t n;
  int32_t year = 0;
  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  n = OV_ReadTags(argv[1], block, sizeof block);
  if (n < 0) {
    char why[256];
    OV_LastError(why, sizeof why);
    fprintf(stderr, "%s: OV_ReadTags gave %d: %s\n", argv[1], (int)n, why);
    return 1;
  }
  if (!OV_BlockTags(block, n, fields) || !OV_FieldNumber(fields[OV_FIELD_YEAR], &year)) {
    fprintf(stderr, "%s: the block does not decode\n", argv[1]);
    return 1;
  }
  printf("orvell %d.%d.%d: %.*s (%d)\n", ORVELL_VERSION_MAJOR, ORVELL_VERSION_MINOR,
         ORVELL_VERSION_PATCH, (int)fields[OV_FIELD_TITLE].size, fields[OV_FIELD_TITLE].data,
         (int)year);
  return 0;
}
