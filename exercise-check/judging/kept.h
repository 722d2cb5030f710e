// The checker's store of kept builds and results: each entry named by what it depends on, holding
// the hash of its bytes, written whole or not at all, and never read when it cannot be trusted.
#pragma once

#include "build.h"
#include "model.h"
#include "settings.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace check {

// An entry left unused this long is removed, as are the faults' kept builds.
constexpr std::chrono::hours kept_for{24 * 30};

// $XDG_CACHE_HOME/exercise-check, else ~/.cache/exercise-check; none when neither is set.
std::filesystem::path default_store();

// What this checker is: its version and the executable it runs from (its size and time), so that
// a judge built anew never takes what another judged.
std::string judge_version();

// What could make two machines that share a store judge differently: the system, its release,
// the processor's kind and the machine's name.
std::string machine_identity();

// What a key is made of, one named field a line: a key is their SHA-256.
using KeyFields = std::vector<std::pair<std::string, std::string>>;
std::string key_of(const KeyFields& fields);

// What one build of a program depends on: its source's bytes, the compiler (its identity holds
// its version, library and options), the kind of build (filled, how it is linked) and the machine.
KeyFields build_fields(const std::string& compiler, const std::string& program,
                       const std::string& source, BuildKind kind);

// What a program's results depend on beside its builds: the case data's bytes (of its group and
// the catalogue), every limit, the random inputs' seed and count, the sandbox, what else the
// settings change of a run, and the judge's own version.
KeyFields judging_fields(const Settings& settings, const Exercise& exercise,
                         const std::string& judge);

// A program's results as the store keeps them: what its cases found, and its diagnosis.
struct KeptResults {
    bool built = false;
    std::string compiler_output; // the source's path in it marked by source_mark
    std::vector<CaseResult> cases;
    std::vector<Diagnosis> diagnosis;
    std::vector<std::string> unexplained;
    std::vector<std::string> advice;    // as the diagnosis left it, its own advice among it
    std::vector<std::string> resembles; // the faults it only resembles
};

// What stands for the person's source in the compiler's messages as kept.
inline const std::string source_mark = std::string("\x01source\x01");

// Results as data and back; nothing when the text is not results.
std::string results_text(const KeptResults& results);
std::optional<KeptResults> results_from(const std::string& text);

// Whether results may be kept: none that rest on how busy the machine was (a run that ran out
// of time, or was cut short) or on a compiler that was stopped.
bool worth_keeping(const KeptResults& results);

// The store, in root: builds/ and results/, one file an entry. Empty root: nothing is kept or
// taken. Safe to use from several threads.
class Store {
  public:
    explicit Store(std::filesystem::path root);

    bool enabled() const { return !root_.empty(); }

    // The build kept by key, written to executable; nothing when none is kept or it cannot be
    // trusted (then it is removed, with a note).
    std::optional<Build> take_build(const std::string& key,
                                    const std::filesystem::path& executable);
    void keep_build(const std::string& key, const Build& build,
                    const std::filesystem::path& executable);

    std::optional<KeptResults> take_results(const std::string& key);
    void keep_results(const std::string& key, const KeptResults& results);

    // Removes what was unused for longer than unused_for, in builds/, results/ and faults/.
    void prune(std::chrono::hours unused_for) const;

    // What was found wrong with the store, one line each.
    std::vector<std::string> notes() const;

  private:
    std::optional<std::string> take(const std::string& kind, const std::string& key);
    void keep(const std::string& kind, const std::string& key, const std::string& bytes);
    void note(const std::string& line);

    std::filesystem::path root_;
    mutable std::mutex mutex_;
    std::vector<std::string> notes_;
};

// Where the store in root is and how large, said once: nothing where it was said before, or
// where there is no store.
std::optional<std::string> first_use_note(const std::filesystem::path& root);

} // namespace check
