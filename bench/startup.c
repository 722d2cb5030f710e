/*
 * Measures how long each given program takes from start to end, as a whole process.
 *
 *   startup RUNS PROGRAM...
 *
 * Every round starts each program once, in turn, so that drift on the machine falls on all of
 * them alike. Standard input comes from /dev/null and standard output goes there too. Prints
 * each program's median time and its ratio to the first program's median.
 */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

extern char **environ;

static double now_us(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

static int by_value(const void *a, const void *b)
{
    const double x = *(const double *)a;
    const double y = *(const double *)b;
    return (x > y) - (x < y);
}

/* Runs a program once and returns its time in microseconds, or a negative number if it failed. */
static double run_once(char *program, const posix_spawn_file_actions_t *redirect)
{
    char *argv[] = {program, NULL};
    pid_t pid;
    int status;
    const double start = now_us();
    if (posix_spawn(&pid, program, redirect, NULL, argv, environ) != 0)
        return -1.0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return now_us() - start;
}

int main(int argc, char **argv)
{
    if (argc < 3 || atoi(argv[1]) < 1) {
        fprintf(stderr, "usage: %s RUNS PROGRAM...\n", argv[0]);
        return 2;
    }
    const int runs = atoi(argv[1]);
    const int count = argc - 2;
    char **programs = argv + 2;

    posix_spawn_file_actions_t redirect;
    posix_spawn_file_actions_init(&redirect);
    posix_spawn_file_actions_addopen(&redirect, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&redirect, 1, "/dev/null", O_WRONLY, 0);

    double *times = malloc(sizeof *times * (size_t)runs * (size_t)count);
    if (times == NULL)
        return 1;

    for (int round = 0; round < runs; ++round) {
        for (int p = 0; p < count; ++p) {
            const double t = run_once(programs[p], &redirect);
            if (t < 0) {
                fprintf(stderr, "%s failed to run or exited with a failure\n", programs[p]);
                return 1;
            }
            times[(size_t)p * (size_t)runs + (size_t)round] = t;
        }
    }

    printf("%-40s %12s %8s\n", "program", "median (us)", "ratio");
    double floor_us = 0.0;
    for (int p = 0; p < count; ++p) {
        double *mine = times + (size_t)p * (size_t)runs;
        qsort(mine, (size_t)runs, sizeof *mine, by_value);
        const double median =
            runs % 2 ? mine[runs / 2] : (mine[runs / 2 - 1] + mine[runs / 2]) / 2.0;
        if (p == 0)
            floor_us = median;
        printf("%-40s %12.1f %8.2f\n", programs[p], median, median / floor_us);
    }

    free(times);
    posix_spawn_file_actions_destroy(&redirect);
    return 0;
}
