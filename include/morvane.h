/* morvane: converts BASIC listings into the tokenized program images of
   one 8-bit machine, and lists images back, in memory. Every function is
   re-entrant: any number of threads may convert and list at once. */
#ifndef MORVANE_H
#define MORVANE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct morvane_result {
    int status; /* the command line's exit status for the same input (0 complete, 1 failed; 2 from
                   the lister) */
    char message[512]; /* what the command line writes on standard error, without the last line
                          feed, cut to 511 bytes; "" if nothing */
} morvane_result;

/* Converts a listing held in memory. *image is set to a buffer from malloc holding exactly the
   bytes the command line would leave in the image file, also after a failure (then without a
   trailer); *image_length to its size. name stands where the command line's messages print a file's
   path. Returns result->status. */
int morvane_convert(const unsigned char *listing, size_t listing_length, const char *name,
                    unsigned char **image, size_t *image_length, morvane_result *result);

/* Lists an image held in memory, with the same conventions as morvane_convert. */
int morvane_list(const unsigned char *image, size_t image_length, const char *name,
                 unsigned char **listing, size_t *listing_length, morvane_result *result);

/* Frees a buffer that morvane_convert or morvane_list returned. */
void morvane_free(void *buffer);

/* The project's version, e.g. "0.7.0". */
const char *morvane_version(void);

#ifdef __cplusplus
}
#endif

#endif
