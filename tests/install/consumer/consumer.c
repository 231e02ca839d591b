/* A program built against an installed Orvell: prints the title and year
 * of the file it is given, and the version of the header it was built with. */
#include <stdio.h>

#include <orvell.h>

int main(int argc, char **argv) {
  char title[256];
  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  int32_t n = OV_GetTitle(argv[1], title, sizeof title);
  int32_t year = OV_GetYear(argv[1]);
  if (n < 0 || year < 0) {
    fprintf(stderr, "%s: OV_GetTitle gave %d, OV_GetYear %d\n", argv[1], (int)n, (int)year);
    return 1;
  }
  printf("orvell %d.%d.%d: %s (%d)\n", ORVELL_VERSION_MAJOR, ORVELL_VERSION_MINOR,
         ORVELL_VERSION_PATCH, title, (int)year);
  return 0;
}
