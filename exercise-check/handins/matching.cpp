#include "matching.h"

#include "cases.h"
#include "catalogue.h"
#include "check.h"
#include "files.h"
#include "pool.h"
#include "source_map.h"
#include "text.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace check {

namespace fs = std::filesystem;

namespace {

// The words and numbers of a text, lower-case: "Povrsina kruga: 19.6349" gives povrsina, kruga,
// 19.6349; "1.studenta" gives 1, studenta. Bytes beyond ASCII are letters.
std::vector<std::string> tokens(std::string_view text)
{
    std::vector<std::string> found;
    std::size_t at = 0;
    const auto letter = [](unsigned char c) { return std::isalpha(c) != 0 || c >= 0x80; };
    const auto digit = [](unsigned char c) { return std::isdigit(c) != 0; };
    while (at < text.size()) {
        const auto c = static_cast<unsigned char>(text[at]);
        std::size_t end = at + 1;
        if (letter(c)) {
            while (end < text.size() && letter(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
        } else if (digit(c)) {
            while (end < text.size() && digit(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
            if (end + 1 < text.size() && text[end] == '.' &&
                digit(static_cast<unsigned char>(text[end + 1]))) {
                for (++end; end < text.size() && digit(static_cast<unsigned char>(text[end]));) {
                    ++end;
                }
            }
        } else {
            ++at;
            continue;
        }
        std::string token(text.substr(at, end - at));
        std::transform(token.begin(), token.end(), token.begin(),
                       [](unsigned char t) { return static_cast<char>(std::tolower(t)); });
        found.push_back(token);
        at = end;
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string shown_path(const fs::path& path, const fs::path& folder)
{
    return terminal_line(path.lexically_relative(folder).generic_string());
}

// The case a source is run on to tell which exercise it is: the exercise's plain case.
struct Probe {
    const Exercise* exercise = nullptr;
    Case plain;
    std::size_t runs = 0; // how many times the check starts the exercise's build
};

// One source tried by its output: built once, run on each probe.
struct Trial {
    std::size_t person = 0;
    fs::path source;
    Prebuilt built;
    std::vector<double> scores; // one per probe
};

std::string names_of(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

// "a.cpp, b.cpp and 3 more", at most a few named.
std::string listed(const std::vector<std::string>& names)
{
    const std::vector<std::string> named(
        names.begin(),
        names.begin() + static_cast<std::ptrdiff_t>(std::min(names.size(), most_named)));
    std::string text = names_of(named);
    if (names.size() > most_named) {
        text += " and " + std::to_string(names.size() - most_named) + " more";
    }
    return text;
}

} // namespace

double resemblance(std::string_view expected, std::string_view actual)
{
    const std::vector<std::string> want = tokens(expected);
    const std::vector<std::string> got = tokens(actual);
    if (want.empty() && got.empty()) {
        return 1;
    }
    std::vector<std::string> common;
    std::set_intersection(want.begin(), want.end(), got.begin(), got.end(),
                          std::back_inserter(common));
    return 2.0 * static_cast<double>(common.size()) / static_cast<double>(want.size() + got.size());
}

std::vector<std::size_t> assign_by_resemblance(const std::vector<std::vector<double>>& scores,
                                               double least)
{
    struct Pair {
        double score;
        std::size_t source;
        std::size_t exercise;
    };
    std::vector<Pair> pairs;
    std::size_t exercises = 0;
    for (std::size_t source = 0; source < scores.size(); ++source) {
        exercises = std::max(exercises, scores[source].size());
        for (std::size_t exercise = 0; exercise < scores[source].size(); ++exercise) {
            if (scores[source][exercise] >= least) {
                pairs.push_back({scores[source][exercise], source, exercise});
            }
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const Pair& a, const Pair& b) { return a.score > b.score; });
    std::vector<std::size_t> taken_as(scores.size(), std::string::npos);
    std::vector<bool> exercise_taken(exercises, false);
    for (const Pair& pair : pairs) {
        if (taken_as[pair.source] == std::string::npos && !exercise_taken[pair.exercise]) {
            taken_as[pair.source] = pair.exercise;
            exercise_taken[pair.exercise] = true;
        }
    }
    return taken_as;
}

namespace {

// The exercises' probes, each loaded when first needed.
class Probes {
  public:
    explicit Probes(const Settings& settings) : settings_(settings) {}

    const Probe& of(const Exercise& exercise)
    {
        auto [at, added] = probes_.try_emplace(exercise.name);
        if (added) {
            at->second.exercise = &exercise;
            for (const Case& one : load_cases(settings_.case_data, exercise, settings_.stdlib)) {
                at->second.runs +=
                    one.kind == CaseKind::stress
                        ? static_cast<std::size_t>(std::max(settings_.stress_runs, 0))
                        : 1;
                if (one.kind == CaseKind::plain &&
                    (at->second.plain.name.empty() ||
                     one.name == exercise.group + "." + exercise.name + ".plain")) {
                    at->second.plain = one;
                }
            }
        }
        return at->second;
    }

  private:
    const Settings& settings_;
    std::map<std::string, Probe> probes_; // by exercise
};

// The person's sources by their names, then by the teacher's map, which decides over any name:
// the file it names is that program, and no other.
FolderSources by_name_and_map(const Person& person, const Settings& settings,
                              const std::vector<Exercise>& exercises, LocatedSources& here)
{
    FolderSources found = sources_in(person.folder, exercises);
    for (const MapLine& line : settings.map) {
        const std::vector<std::string> names{person.name, person.handed_in.filename().string()};
        const std::optional<fs::path> file =
            mapped_file(line, names, {person.folder, person.handed_in});
        if (!file) {
            // A line for this person by name that names nothing is the teacher's to mend.
            const std::string first = fs::path(line.path).begin()->string();
            if (std::find(names.begin(), names.end(), first) != names.end()) {
                here.notes.push_back("line " + std::to_string(line.line) +
                                     " of the map names no source: " + terminal_line(line.path));
            }
            continue;
        }
        const Exercise* exercise = find_exercise(exercises, line.program);
        if (exercise == nullptr) {
            continue; // not among the exercises checked
        }
        auto& sources = found.sources;
        sources.erase(std::remove_if(sources.begin(), sources.end(),
                                     [&](const Source& source) {
                                         return source.exercise == exercise || source.path == *file;
                                     }),
                      sources.end());
        found.unnamed.erase(std::remove(found.unnamed.begin(), found.unnamed.end(), *file),
                            found.unnamed.end());
        sources.push_back({exercise, *file, "by the map"});
    }
    return found;
}

// How each source was chosen where not by its exact name; many by their names or folders, which
// name their programs, in one line.
void note_how_chosen(const std::vector<Source>& sources, const fs::path& folder,
                     std::vector<std::string>& notes)
{
    for (const auto& [how, many] : {std::pair{"by its name", "by their names: "},
                                    std::pair{"by its folder", "by their folders: "}}) {
        std::vector<std::string> paths;
        for (const Source& source : sources) {
            if (source.chosen == how) {
                paths.push_back(shown_path(source.path, folder));
            }
        }
        if (paths.size() > 3) {
            notes.push_back(std::to_string(paths.size()) + " sources taken " + many +
                            names_of(paths));
        }
    }
    for (const Source& source : sources) {
        const bool grouped =
            std::count_if(sources.begin(), sources.end(),
                          [&](const Source& other) { return other.chosen == source.chosen; }) > 3 &&
            source.chosen != "by the map";
        if (!source.chosen.empty() && !grouped) {
            notes.push_back(shown_path(source.path, folder) + " taken as " + source.exercise->name +
                            " " + source.chosen);
        }
    }
}

// The exercises that no source was found for, which a source no name ties to a program may be
// tried as by its output; and those sources, at most most_unnamed, as trials.
std::vector<const Probe*> plan_trials(std::size_t index, const Person& person,
                                      const std::vector<Exercise>& exercises, Probes& probes,
                                      std::vector<fs::path> rest, LocatedSources& here,
                                      std::vector<Trial>& trials)
{
    std::vector<const Probe*> left;
    for (const Exercise& exercise : exercises) {
        if (std::none_of(here.sources.begin(), here.sources.end(),
                         [&](const Source& source) { return source.exercise == &exercise; })) {
            const Probe& probe = probes.of(exercise);
            if (!probe.plain.name.empty()) {
                left.push_back(&probe);
            }
        }
    }
    if (left.empty() && !rest.empty()) {
        std::vector<std::string> names;
        for (const fs::path& path : rest) {
            names.push_back(shown_path(path, person.folder));
        }
        here.notes.push_back("not checked: " + names_of(names) +
                             (rest.size() == 1 ? " (no program is left to take it as)"
                                               : " (no program is left to take them as)"));
        rest.clear();
    }
    if (rest.size() > most_unnamed) {
        here.notes.push_back(std::to_string(rest.size()) +
                             " sources that no name ties to a program: only the first " +
                             std::to_string(most_unnamed) + " are tried by their output");
        rest.resize(most_unnamed);
    }
    for (const fs::path& path : rest) {
        trials.push_back({index, path, {}, {}});
    }
    return left;
}

// Builds the trial's source in folder, within the most a program may be, and runs it once on
// each probe: its scores.
void run_trial(Trial& trial, const std::vector<const Probe*>& probes, const fs::path& folder,
               const Settings& settings, Runner& runner)
{
    std::error_code error;
    fs::create_directories(folder, error);
    share_with_sandbox(folder, true);
    trial.built.copy = folder / "source.cpp";
    trial.built.executable = folder / "program";
    trial.scores.assign(probes.size(), 0);
    const FileRead read = read_file(trial.source, largest_source, Links::refused);
    if (!read.bytes) {
        trial.built.build = Build{false, read.problem + "\n"};
        return;
    }
    std::ofstream(trial.built.copy, std::ios::binary) << *read.bytes;
    std::size_t runs = 0;
    for (const Probe* probe : probes) {
        runs = std::max(runs, probe->runs);
    }
    trial.built.build =
        runner.compile(trial.built.copy, trial.built.executable, BuildKind{false, runs}, {});
    const std::uint64_t largest = settings.build_limits.program_bytes;
    if (trial.built.build.built && fs::file_size(trial.built.executable, error) > largest) {
        fs::remove(trial.built.executable, error);
        trial.built.build = Build{false, "the program is larger than " + size_text(largest) + "\n"};
    }
    if (!trial.built.build.built) {
        return;
    }
    Sandbox sandbox = base_sandbox(settings); // the kind of sandbox the check's runs take
    sandbox.read_only = {trial.built.executable};
    std::vector<RunRequest> requests;
    for (const Probe* probe : probes) {
        RunRequest request;
        request.command = {trial.built.executable.string()};
        request.command.insert(request.command.end(), probe->plain.args.begin(),
                               probe->plain.args.end());
        request.input = probe->plain.input;
        request.limits = settings.run_limits;
        request.sandbox = sandbox;
        requests.push_back(request);
    }
    const std::vector<RunResult> results = runner.run_all(requests, sandbox);
    for (std::size_t at = 0; at < probes.size() && at < results.size(); ++at) {
        trial.scores[at] = resemblance(probes[at]->plain.expected, results[at].out);
    }
}

// Takes each of a person's trials as the exercise it resembles most, one each, where it is like
// enough; says why the others were not; removes the builds that are not taken.
void take_by_output(std::size_t index, const fs::path& folder, std::vector<Trial>& trials,
                    const std::vector<const Probe*>& left, LocatedSources& here)
{
    std::vector<Trial*> mine;
    std::vector<std::vector<double>> scores;
    for (Trial& trial : trials) {
        if (trial.person == index) {
            mine.push_back(&trial);
            scores.push_back(trial.scores);
        }
    }
    const std::vector<std::size_t> taken_as = assign_by_resemblance(scores);
    std::vector<std::string> broken;
    std::vector<std::string> unlike;
    for (std::size_t at = 0; at < mine.size(); ++at) {
        const Trial& trial = *mine[at];
        const std::string name = shown_path(trial.source, folder);
        if (taken_as[at] != std::string::npos) {
            const Exercise* exercise = left[taken_as[at]]->exercise;
            here.sources.push_back({exercise, trial.source, "by its output"});
            here.builds[trial.source.string()] = trial.built;
            here.notes.push_back(name + " taken as " + exercise->name + " by its output");
            continue;
        }
        std::error_code error;
        fs::remove_all(trial.built.executable.parent_path(), error);
        if (!trial.built.build.built) {
            broken.push_back(name);
            continue;
        }
        // The program it resembles most, and who took it.
        const auto best = std::max_element(trial.scores.begin(), trial.scores.end());
        if (best == trial.scores.end() || *best < least_resemblance) {
            unlike.push_back(name);
            continue;
        }
        const auto program = static_cast<std::size_t>(best - trial.scores.begin());
        std::string other;
        for (std::size_t by = 0; by < mine.size(); ++by) {
            if (taken_as[by] == program) {
                other = shown_path(mine[by]->source, folder);
            }
        }
        here.notes.push_back(name + " also prints what " + left[program]->exercise->name +
                             " does, as " + other + " does more closely: not checked");
    }
    if (!broken.empty()) {
        here.notes.push_back(listed(broken) +
                             (broken.size() == 1 ? " does not compile" : " do not compile") +
                             ": not tried by the output");
    }
    if (!unlike.empty()) {
        here.notes.push_back(listed(unlike) + (unlike.size() == 1 ? " prints" : " print") +
                             " what none of the programs left does: not checked");
    }
}

// Sources named as programs of the catalogue that the check leaves out (--programs) are left out
// on purpose: not tried as another program, and no note says they were not checked.
void leave_out_unasked(std::vector<fs::path>& unnamed, const std::vector<Exercise>& checked,
                       const std::vector<Exercise>& catalogue)
{
    const auto named = [](const std::vector<Exercise>& exercises, const std::string& stem) {
        return std::any_of(exercises.begin(), exercises.end(),
                           [&stem](const Exercise& exercise) { return exercise.name == stem; });
    };
    unnamed.erase(std::remove_if(unnamed.begin(), unnamed.end(),
                                 [&](const fs::path& path) {
                                     const std::string stem = path.stem().string();
                                     return !named(checked, stem) && named(catalogue, stem);
                                 }),
                  unnamed.end());
}

} // namespace

std::vector<LocatedSources> locate_sources(const std::vector<Person>& people,
                                           const Settings& settings,
                                           const std::vector<Exercise>& exercises, Runner& runner)
{
    std::vector<LocatedSources> located(people.size());
    Probes probes(settings);
    std::vector<Trial> trials;
    std::vector<std::vector<const Probe*>> left(people.size()); // exercises without a source
    for (std::size_t index = 0; index < people.size(); ++index) {
        LocatedSources& here = located[index];
        FolderSources found = by_name_and_map(people[index], settings, exercises, here);
        note_how_chosen(found.sources, people[index].folder, here.notes);
        here.sources = found.sources;
        leave_out_unasked(found.unnamed, exercises, settings.exercises);
        left[index] =
            plan_trials(index, people[index], exercises, probes, found.unnamed, here, trials);
    }

    // Each source left is built once and run on each plain case of the exercises left.
    Pool pool;
    for (std::size_t number = 0; number < trials.size(); ++number) {
        pool.add([&, number] {
            Trial& trial = trials[number];
            run_trial(trial, left[trial.person],
                      settings.work / "by-output" / std::to_string(number), settings, runner);
        });
    }
    pool.run(settings.jobs);

    for (std::size_t index = 0; index < people.size(); ++index) {
        take_by_output(index, people[index].folder, trials, left[index], located[index]);
    }
    // In the order of the exercises, as the check lists them.
    for (LocatedSources& here : located) {
        std::stable_sort(here.sources.begin(), here.sources.end(),
                         [](const Source& a, const Source& b) { return a.exercise < b.exercise; });
    }
    return located;
}

} // namespace check
