/* embed: converts a listing file into an image file with the morvane
   library, as `morvane listing image` does.
   usage: embed LISTING IMAGE */
#include <stdio.h>
#include <stdlib.h>

#include <morvane.h>

/* Reads the whole file into a buffer from malloc; NULL if it cannot. */
static unsigned char *read_whole(const char *path, size_t *length) {
    FILE *file = fopen(path, "rb");
    unsigned char *bytes = NULL;
    size_t size = 0, got;
    unsigned char block[65536];
    if (file == NULL) return NULL;
    while ((got = fread(block, 1, sizeof block, file)) > 0) {
        unsigned char *grown = realloc(bytes, size + got);
        if (grown == NULL) break;
        bytes = grown;
        for (size_t i = 0; i < got; i++)
            bytes[size + i] = block[i];
        size += got;
    }
    fclose(file);
    *length = size;
    return bytes != NULL ? bytes : malloc(1);
}

int main(int argc, char **argv) {
    size_t listing_length = 0, image_length = 0;
    unsigned char *listing, *image = NULL;
    morvane_result result;
    FILE *out;
    if (argc != 3) {
        fprintf(stderr, "usage: embed LISTING IMAGE (morvane %s)\n", morvane_version());
        return 1;
    }
    listing = read_whole(argv[1], &listing_length);
    if (listing == NULL) {
        fprintf(stderr, "Can't open input file %s\n", argv[1]);
        return 1;
    }
    morvane_convert(listing, listing_length, argv[1], &image, &image_length, &result);
    if (result.message[0] != '\0') fprintf(stderr, "%s\n", result.message);
    out = fopen(argv[2], "wb");
    if (out == NULL || fwrite(image, 1, image_length, out) != image_length || fclose(out) != 0) {
        fprintf(stderr, "Can't write output file %s\n", argv[2]);
        return 1;
    }
    morvane_free(image);
    free(listing);
    return result.status;
}
