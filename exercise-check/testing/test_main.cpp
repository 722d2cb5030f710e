// The unit tests' entry point; started as a batch server (run_all's other end), it is that.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest/doctest.h>

#include "run.h"

#include <string>

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == check::serve_runs_argument) {
        return check::serve_runs();
    }
    return doctest::Context(argc, argv).run();
}
