// exercise-check: checks anyone's versions of the exercises' programs and answers in verdicts.
#include "command.h"
#include "options.h"
#include "run.h"

#include <string>

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == check::serve_runs_argument) {
        return check::serve_runs();
    }
    const check::ParsedOptions parsed = check::parse_options(argc, argv);
    if (parsed.exit_now) {
        return *parsed.exit_now;
    }
    return check::run_command(parsed.options);
}
