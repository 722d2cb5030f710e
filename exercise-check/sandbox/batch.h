// The batch protocol: run_all sends a program's runs to serve_runs, which runs them one after
// another in one sandbox and sends back their results; the results are checked as untrusted.
#pragma once

#include "run.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace check {

// What comes back of a run is cut short: the messages show only the start of an output.
constexpr std::size_t returned_bytes = 64 * 1024;

// Numbers and length-prefixed bytes, as the protocol carries them.
class BatchEncoder {
  public:
    void number(std::uint64_t value);
    void text(const std::string& value);
    void real(double value);
    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

class BatchDecoder {
  public:
    explicit BatchDecoder(const std::string& bytes) : bytes_(bytes) {}
    bool more() const { return at_ < bytes_.size(); }
    bool good() const { return good_; }
    std::uint64_t number();
    double real();
    std::string text();

  private:
    void take(void* into, std::size_t size);
    const std::string& bytes_;
    std::size_t at_ = 0;
    bool good_ = true;
};

void put_request(BatchEncoder& out, const RunRequest& request);
// The next request, or nothing where the bytes end or do not make one.
std::optional<RunRequest> get_request(BatchDecoder& in);

// The result of the index-th request of the batch; outputs are cut to returned_bytes.
void put_result(BatchEncoder& out, std::uint64_t index, const RunResult& result);

struct BatchResults {
    std::vector<RunResult> results; // the first of the batch's requests, in order
    bool broken = false; // the bytes are not results of the requests (a cut-off end is not)
};

// The results in what came back of a batch of expected requests. Every length, number and
// index is checked, more results than requests break it, and a cut-off last result is left out.
BatchResults get_results(const std::string& bytes, std::size_t expected);

// The results of a batch of expected requests from its server's run: get_results of what it
// wrote, and broken also where a server that ended well (exit status 0) sent fewer than all.
BatchResults batch_results(const RunResult& served, std::size_t expected);

} // namespace check
