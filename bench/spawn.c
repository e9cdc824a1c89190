/* Times whole runs of programs, each with standard input from a file and
 * standard output to /dev/null.
 *
 *   spawn RUNS INPUT PROGRAM...   alternates RUNS runs of each program and
 *                                 prints "PROGRAM median_us mean_us" a line
 *   spawn --once INPUT PROGRAM    one run: "PROGRAM wall_s peak_kib" */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* Runs PROGRAM once; returns its wall time in seconds and sets *peak_kib. */
static double run(const char* program, const char* input, long* peak_kib)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = { (char*)program, NULL };
    int status;
    struct rusage usage;
    pid_t pid;

    double start = now();
    if (posix_spawn(&pid, program, &actions, NULL, argv, environ) != 0
        || wait4(pid, &status, 0, &usage) != pid) {
        perror(program);
        exit(2);
    }
    double wall = now() - start;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "spawn: %s did not exit with status 0\n", program);
        exit(2);
    }
    *peak_kib = usage.ru_maxrss;
    return wall;
}

static int by_value(const void* a, const void* b)
{
    double x = *(const double*)a;
    double y = *(const double*)b;
    return (x > y) - (x < y);
}

int main(int argc, char** argv)
{
    long peak;
    if (argc == 4 && strcmp(argv[1], "--once") == 0) {
        double wall = run(argv[3], argv[2], &peak);
        printf("%s %.3f %ld\n", argv[3], wall, peak);
        return 0;
    }
    if (argc < 4) {
        fputs("usage: spawn RUNS INPUT PROGRAM... | spawn --once INPUT PROGRAM\n", stderr);
        return 2;
    }
    int runs = atoi(argv[1]);
    int programs = argc - 3;
    double* times = calloc((size_t)runs * (size_t)programs, sizeof *times);
    if (runs < 1 || times == NULL) {
        return 2;
    }
    for (int i = 0; i < runs; ++i) {
        for (int p = 0; p < programs; ++p) {
            times[p * runs + i] = run(argv[3 + p], argv[2], &peak);
        }
    }
    for (int p = 0; p < programs; ++p) {
        double* mine = times + p * runs;
        double sum = 0;
        for (int i = 0; i < runs; ++i) {
            sum += mine[i];
        }
        qsort(mine, (size_t)runs, sizeof *mine, by_value);
        printf("%s %.1f %.1f\n", argv[3 + p], mine[runs / 2] * 1e6, sum / runs * 1e6);
    }
    free(times);
    return 0;
}
