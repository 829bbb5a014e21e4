// The least a converter must do: read, upper-case and write each byte
// through stdio, without locking the stream for each.
#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    std::FILE *in = std::fopen(argv[1], "rb");
    std::FILE *out = std::fopen(argv[2], "wb");
    if (in == nullptr || out == nullptr) return 1;
    for (int c = getc_unlocked(in); c != EOF; c = getc_unlocked(in))
        putc_unlocked(c >= 'a' && c <= 'z' ? c - 32 : c, out);
    std::fclose(in);
    return std::fclose(out) == 0 ? 0 : 1;
}
