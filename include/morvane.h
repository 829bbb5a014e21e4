/* morvane: converts BASIC listings into the tokenized program images of
   one 8-bit machine, and lists images back, in memory. Every function is
   re-entrant: any number of threads may convert and list at once. */
#ifndef MORVANE_H
#define MORVANE_H

#include <stddef.h>

/* The library's functions, the only symbols a shared build of it exports. */
#if defined(_WIN32) && defined(MORVANE_SHARED_BUILD)
#define MORVANE_API __declspec(dllexport)
#elif defined(__GNUC__) && !defined(_WIN32)
#define MORVANE_API __attribute__((visibility("default")))
#else
#define MORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct morvane_result {
    int status; /* the command line's exit status for the same input (0 complete, 1 failed; 2 from
                   the lister) */
    char message[512]; /* what the command line writes on standard error, without the last line
                          feed; "" if nothing. Errors come first, then warnings, each line whole:
                          lines that do not fit in 511 bytes are left out, and a last line says
                          how many were */
} morvane_result;

/* Converts a listing held in memory. *image is set to a buffer from malloc holding exactly the
   bytes the command line would leave in the image file, also after a failure (then without a
   trailer); *image_length to its size. name stands where the command line's messages print a file's
   path. Returns result->status. */
MORVANE_API int morvane_convert(const unsigned char *listing, size_t listing_length, const char *name,
                    unsigned char **image, size_t *image_length, morvane_result *result);

/* Lists an image held in memory, with the same conventions as morvane_convert. */
MORVANE_API int morvane_list(const unsigned char *image, size_t image_length, const char *name,
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
MORVANE_API int morvane_check(const unsigned char *listing, size_t listing_length, morvane_finding **findings,
                  size_t *count);

/* Renumbers a listing held in memory as morvane-renum --start start --step step --from from
   does, with the same conventions as morvane_convert: *renumbered holds the renumbered listing, or
   nothing (length 0) if it was refused; result->message the findings as morvane-renum prints them,
   one a line, with name as the path. Returns result->status: 0 renumbered, 1 refused, 2 if a
   number is out of range (start and from 0-65535, step 1-65535). */
MORVANE_API int morvane_renumber(const unsigned char *listing, size_t listing_length, const char *name,
                     unsigned start, unsigned step, unsigned from, unsigned char **renumbered,
                     size_t *renumbered_length, morvane_result *result);

/* Renumbers as morvane_renumber does, and hands over its findings as records, as morvane_check
   does: *findings is set to an array from malloc (free it with morvane_free) of *count findings in
   file order. Returns the status as morvane_renumber does, or -1 (count 0) if memory ran out. */
MORVANE_API int morvane_renumber_findings(const unsigned char *listing, size_t listing_length,
                                          unsigned start, unsigned step, unsigned from,
                                          unsigned char **renumbered, size_t *renumbered_length,
                                          morvane_finding **findings, size_t *count);
/* Lists as morvane_list does, and hands over what its message says as records: each line that
   does not convert back (status 2) as the warning "not-read-back", whose line is the program
   line's number and whose column is the byte of its body from 1; an image that cannot be listed
   (status 1) as the error "image", with line and column 0. Returns the status as morvane_list
   does, or -1 (count 0) if memory ran out. */
MORVANE_API int morvane_list_findings(const unsigned char *image, size_t image_length,
                                      const char *name, unsigned char **listing,
                                      size_t *listing_length, morvane_finding **findings,
                                      size_t *count);
/* What a stretch of a listing is, as the converter reads it. */
typedef enum morvane_item_kind {
    MORVANE_ITEM_LINE_NUMBER = 1, /* the decimal number that starts a line; value: the number as written (not cut to 16 bits) */
    MORVANE_ITEM_KEYWORD = 2,     /* the letters or signs that the converter writes as one token; token: its byte */
    MORVANE_ITEM_REFERENCE = 3,   /* a line number that a statement names: after GOTO, GOSUB, THEN, RESTORE, RUN, LIST,
                                     LLIST and DELETE, in the lists after GOTO and GOSUB, both ends of a range; value: it */
    MORVANE_ITEM_LABEL = 4,       /* an @name, where a line is labelled and where a label is named */
    MORVANE_ITEM_NUMBER = 5,      /* any other run of digits */
    MORVANE_ITEM_STRING = 6,      /* a string literal with its quotes (to the line's end if it is not closed) */
    MORVANE_ITEM_DATA = 7,        /* what follows DATA, up to the colon outside quotes that ends it (not included) */
    MORVANE_ITEM_REMARK = 8,      /* what follows REM, to the line's end */
    MORVANE_ITEM_NAME = 9,        /* a run of letters and digits that holds no keyword and starts with a letter */
    MORVANE_ITEM_OTHER = 10       /* any other character outside strings, DATA and remarks, spaces excepted */
} morvane_item_kind;

typedef struct morvane_item {
    int kind;                  /* a morvane_item_kind */
    int token;                 /* MORVANE_ITEM_KEYWORD: the token's byte (0x80-0xF9); otherwise -1 */
    long long value;           /* MORVANE_ITEM_LINE_NUMBER and MORVANE_ITEM_REFERENCE: the number; otherwise -1 */
    size_t offset;             /* where its first byte stands in the listing, from 0 */
    size_t length;             /* its bytes in the listing */
    unsigned long long line;   /* its first byte's line and column, counted as morvane_finding counts them */
    unsigned long long column;
} morvane_item;

/* Reads a listing held in memory as the converter reads it and tells what each stretch of it is. *items is set
   to an array from malloc (free it with morvane_free) of *count items in the listing's order; items never overlap
   and no item holds a line end or a space outside strings, DATA and remarks. The whole listing is read, also past
   the place where the converter would stop. Returns 0, or -1 (count 0) if memory ran out. */
MORVANE_API int morvane_scan(const unsigned char *listing, size_t listing_length, morvane_item **items, size_t *count);

/* How a listing is read, or written. Read by content, a listing is UTF-8 when it starts with the
   byte-order mark, or when it is valid UTF-8 and holds a character outside ASCII other than U+FEFF;
   otherwise Shift_JIS. A listing is written in Shift_JIS unless MORVANE_ENCODING_UTF_8 is asked. */
typedef enum morvane_encoding {
    MORVANE_ENCODING_BY_CONTENT = 0,
    MORVANE_ENCODING_SHIFT_JIS = 1,
    MORVANE_ENCODING_UTF_8 = 2
} morvane_encoding;

/* What the command lines' options choose: --encoding, and morvane's --name. A NULL options is
   every default, as with no option. */
typedef struct morvane_options {
    int encoding;           /* a morvane_encoding */
    const char *image_name; /* converting: the image's name as morvane --name takes it, read in the
                               encoding chosen or by its bytes; NULL for the default, "mrv" */
} morvane_options;

/* morvane_convert, morvane_list, morvane_check, morvane_renumber and morvane_scan with options.
   morvane_list_with also hands over the image's name field: image_name, if not NULL, receives its
   six bytes (all 0x00 when the input is no image). morvane_check_with's and morvane_scan_with's
   lines and columns count the characters of the listing as it was read; their offsets are the
   file's. An unknown encoding or a name --name refuses gives status 1 (2 from the renumbering)
   and says why. */
MORVANE_API int morvane_convert_with(const unsigned char *listing, size_t listing_length,
                                     const char *name, const morvane_options *options,
                                     unsigned char **image, size_t *image_length,
                                     morvane_result *result);
MORVANE_API int morvane_list_with(const unsigned char *image, size_t image_length, const char *name,
                                  const morvane_options *options, unsigned char **listing,
                                  size_t *listing_length, unsigned char image_name[6],
                                  morvane_result *result);
MORVANE_API int morvane_check_with(const unsigned char *listing, size_t listing_length,
                                   const morvane_options *options, morvane_finding **findings,
                                   size_t *count);
MORVANE_API int morvane_renumber_with(const unsigned char *listing, size_t listing_length,
                                      const char *name, unsigned start, unsigned step, unsigned from,
                                      const morvane_options *options, unsigned char **renumbered,
                                      size_t *renumbered_length, morvane_result *result);
MORVANE_API int morvane_scan_with(const unsigned char *listing, size_t listing_length,
                                  const morvane_options *options, morvane_item **items,
                                  size_t *count);

/* Frees a buffer that any of these functions returned. A NULL listing or image of length 0 is an
   empty one everywhere. */
MORVANE_API void morvane_free(void *buffer);

/* The project's version, e.g. "0.7.0". */
MORVANE_API const char *morvane_version(void);

#ifdef __cplusplus
}
#endif

#endif
