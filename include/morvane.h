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

typedef struct morvane_finding {
    unsigned long long
        line; /* 1 + the line ends before it (LF, CR LF and a lone CR each end a line) */
    unsigned long long
        column;        /* 1 + the characters before it on its line; a two-byte character is one */
    int error;         /* 1: the converter fails on it ("error"); 0: a warning */
    char name[24];     /* the finding's name, as morvane-check prints it: "line-order", ... */
    char message[240]; /* the sentence morvane-check prints */
} morvane_finding;

/* Checks a listing held in memory as morvane-check does. *findings is set to an array from malloc
   of the findings in file order (free it with morvane_free), *count to their number. Returns 0 when
   there is none, 1 when there are, as morvane-check's status; -1 (count 0) if memory ran out. */
int morvane_check(const unsigned char *listing, size_t listing_length, morvane_finding **findings,
                  size_t *count);

/* Renumbers a listing held in memory as morvane-renum --start start --step step --from from
   does, with the same conventions as morvane_convert: *renumbered holds the renumbered listing, or
   nothing (length 0) if it was refused; result->message the findings as morvane-renum prints them,
   one a line, with name as the path. Returns result->status: 0 renumbered, 1 refused, 2 if a
   number is out of range (start and from 0-65535, step 1-65535). */
int morvane_renumber(const unsigned char *listing, size_t listing_length, const char *name,
                     unsigned start, unsigned step, unsigned from, unsigned char **renumbered,
                     size_t *renumbered_length, morvane_result *result);

/* Frees a buffer that morvane_convert, morvane_list, morvane_check or morvane_renumber returned. */
void morvane_free(void *buffer);

/* The project's version, e.g. "0.7.0". */
const char *morvane_version(void);

#ifdef __cplusplus
}
#endif

#endif
