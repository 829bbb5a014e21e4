// Runs a command several times with its standard output sent to a file;
// prints the best wall time in seconds and the largest peak resident memory
// in KiB, as "seconds kib".
#include <chrono>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fputs("usage: measure RUNS STDOUT COMMAND [ARGUMENT...]\n", stderr);
        return 2;
    }
    int runs = std::atoi(argv[1]);
    double best = 1e30;
    long peak_kib = 0;
    for (int run = 0; run < runs; run++) {
        auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child == 0) {
            int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || dup2(out, 1) < 0) _exit(127);
            execvp(argv[3], argv + 3);
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "measure: %s failed\n", argv[3]);
            return 1;
        }
        if (seconds < best) best = seconds;
        if (usage.ru_maxrss > peak_kib) peak_kib = usage.ru_maxrss;
    }
    std::printf("%.6f %ld\n", best, peak_kib);
    return 0;
}
