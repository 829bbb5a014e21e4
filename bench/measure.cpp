// Runs a command several times with its standard output sent to a file;
// prints the best wall time in seconds and the largest peak resident memory
// in KiB, as "seconds kib". The file REMOVE ("-" for none) is removed before
// each run, outside the timing, so that every run writes a fresh file
// instead of first truncating the last one.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc < 5) {
        std::fputs("usage: measure RUNS STDOUT REMOVE COMMAND [ARGUMENT...]\n", stderr);
        return 2;
    }
    int runs = std::atoi(argv[1]);
    double best = 1e30;
    long peak_kib = 0;
    for (int run = 0; run < runs; run++) {
        if (std::string(argv[3]) != "-") unlink(argv[3]);
        auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child == 0) {
            int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || dup2(out, 1) < 0) _exit(127);
            execvp(argv[4], argv + 4);
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "measure: %s failed\n", argv[4]);
            return 1;
        }
        if (seconds < best) best = seconds;
        if (usage.ru_maxrss > peak_kib) peak_kib = usage.ru_maxrss;
    }
    std::printf("%.6f %ld\n", best, peak_kib);
    return 0;
}
