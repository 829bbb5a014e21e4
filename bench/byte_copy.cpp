// The least a converter must do: read, upper-case and write each byte through stdio.
#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    std::FILE *in = std::fopen(argv[1], "rb");
    std::FILE *out = std::fopen(argv[2], "wb");
    if (in == nullptr || out == nullptr) return 1;
    for (int c = std::getc(in); c != EOF; c = std::getc(in))
        std::putc(c >= 'a' && c <= 'z' ? c - 32 : c, out);
    std::fclose(in);
    return std::fclose(out) == 0 ? 0 : 1;
}
