#include "batch.h"

#include <doctest/doctest.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>

using namespace check;

namespace {

RunResult sample_result(int number)
{
    RunResult result;
    result.ending = number % 2 == 0 ? Ending::exited : Ending::signalled;
    result.status = number % 2 == 0 ? number : -1;
    result.signal = number % 2 == 0 ? 0 : SIGSEGV;
    result.out = "out " + std::to_string(number) + std::string(1, '\0') + "\n";
    result.err = number == 1 ? "" : "err\n";
    result.seconds = 0.25 * number;
    result.peak_memory_bytes = 1000U * static_cast<unsigned>(number);
    result.out_of_memory = number == 2;
    result.error = number == 1 ? "why" : "";
    return result;
}

std::string stream_of(int count)
{
    BatchEncoder out;
    for (int index = 0; index < count; ++index) {
        put_result(out, static_cast<std::uint64_t>(index), sample_result(index));
    }
    return out.bytes();
}

void check_same(const RunResult& got, const RunResult& sent)
{
    CHECK(got.ending == sent.ending);
    CHECK(got.status == sent.status);
    CHECK(got.signal == sent.signal);
    CHECK(got.out == sent.out);
    CHECK(got.err == sent.err);
    CHECK(got.seconds == sent.seconds);
    CHECK(got.peak_memory_bytes == sent.peak_memory_bytes);
    CHECK(got.out_of_memory == sent.out_of_memory);
    CHECK(got.error == sent.error);
}

// One result written field by field, so that any field can be made wrong.
struct RawResult {
    std::uint64_t index = 0;
    std::uint64_t ending = 0;
    std::uint64_t status = 0;
    std::uint64_t signal = 0;
    std::uint64_t out_of_memory = 0;
    std::string out = "Hello World!\n";
    std::uint64_t out_length = out.size();
    double seconds = 0.1;

    std::string bytes() const
    {
        BatchEncoder raw;
        for (const std::uint64_t number : {index, ending, status, signal, out_of_memory}) {
            raw.number(number);
        }
        raw.number(out_length);
        std::string bytes = raw.bytes() + out;
        BatchEncoder rest;
        rest.text("");
        rest.real(seconds);
        rest.number(0);
        rest.text("");
        return bytes + rest.bytes();
    }
};

// One request written field by field, as put_request writes it, so that a field can be made
// wrong.
std::string request_bytes(std::uint64_t stdout_to, std::uint64_t runs_after = 0)
{
    BatchEncoder raw;
    raw.number(1);
    raw.text("/bin/true");
    raw.text("");  // input
    raw.number(0); // input_stays_open
    raw.number(stdout_to);
    raw.number(0); // settles_on: none
    raw.text("");
    raw.real(1); // wall seconds
    raw.real(1); // cpu seconds
    for (int limit = 0; limit < 4; ++limit) {
        raw.number(1);
    }
    raw.number(runs_after);
    return raw.bytes();
}

} // namespace

TEST_CASE("requests and results come through the batch protocol as they were sent")
{
    RunRequest request;
    request.command = {"/bin/prog", "", "two words"};
    request.input = std::string("a\0b\n", 4);
    request.input_stays_open = true;
    request.stdout_to = Stdout::closed;
    request.settles_on = "";
    request.limits.wall_seconds = 1.5;
    request.limits.cpu_seconds = 3;
    request.limits.memory_bytes = 7 * mebibyte;
    request.limits.output_bytes = 11;
    request.limits.file_bytes = 13;
    request.limits.processes = 2;
    request.runs_after = RunsAfter::in_time;
    RunRequest plain;
    plain.command = {"/bin/true"};

    BatchEncoder out;
    put_request(out, request);
    put_request(out, plain);
    BatchDecoder in(out.bytes());
    const std::optional<RunRequest> first = get_request(in);
    const std::optional<RunRequest> second = get_request(in);
    REQUIRE(first);
    REQUIRE(second);
    CHECK_FALSE(in.more());
    CHECK(first->command == request.command);
    CHECK(first->input == request.input);
    CHECK(first->input_stays_open);
    CHECK(first->stdout_to == Stdout::closed);
    CHECK(first->settles_on == std::optional<std::string>(""));
    CHECK(first->limits.wall_seconds == 1.5);
    CHECK(first->limits.cpu_seconds == 3);
    CHECK(first->limits.memory_bytes == 7 * mebibyte);
    CHECK(first->limits.output_bytes == 11);
    CHECK(first->limits.file_bytes == 13);
    CHECK(first->limits.processes == 2);
    CHECK(first->runs_after == RunsAfter::in_time);
    CHECK(second->runs_after == RunsAfter::always);
    CHECK_FALSE(second->settles_on);
    CHECK(second->stdout_to == Stdout::capture);

    const BatchResults got = get_results(stream_of(3), 3);
    CHECK_FALSE(got.broken);
    REQUIRE(got.results.size() == 3);
    for (int index = 0; index < 3; ++index) {
        check_same(got.results[static_cast<std::size_t>(index)], sample_result(index));
    }

    RunResult large = sample_result(0);
    large.out.assign(returned_bytes + 10, 'x');
    BatchEncoder cut;
    put_result(cut, 0, large);
    const BatchResults shortened = get_results(cut.bytes(), 1);
    REQUIRE(shortened.results.size() == 1);
    CHECK(shortened.results[0].out.size() == returned_bytes);
}

TEST_CASE("a request stream that is cut off or makes no request gives no request")
{
    BatchEncoder out;
    RunRequest request;
    request.command = {"/bin/true"};
    put_request(out, request);
    for (std::size_t cut = 0; cut < out.bytes().size(); ++cut) {
        const std::string part = out.bytes().substr(0, cut);
        BatchDecoder in(part);
        CHECK_FALSE(get_request(in));
    }
    // Where standard output goes, by the number of each of the three and none other.
    struct Where {
        std::uint64_t number;
        std::optional<Stdout> read_as;
    };
    for (const Where where :
         {Where{0, Stdout::capture}, Where{1, Stdout::full}, Where{2, Stdout::closed},
          Where{3, std::nullopt}, Where{1ULL << 32, std::nullopt},
          Where{std::numeric_limits<std::uint64_t>::max(), std::nullopt}}) {
        CAPTURE(where.number);
        const std::string bytes = request_bytes(where.number);
        BatchDecoder raw(bytes);
        const std::optional<RunRequest> got = get_request(raw);
        REQUIRE(got.has_value() == where.read_as.has_value());
        if (got) {
            CHECK(got->stdout_to == *where.read_as);
            CHECK(got->command == std::vector<std::string>{"/bin/true"});
        }
    }
    // After which runs it is made, likewise.
    for (const std::uint64_t runs_after : {0ULL, 1ULL, 2ULL, 3ULL, 1ULL << 63}) {
        CAPTURE(runs_after);
        const std::string bytes = request_bytes(0, runs_after);
        BatchDecoder raw(bytes);
        const std::optional<RunRequest> got = get_request(raw);
        REQUIRE(got.has_value() == (runs_after <= 2));
        if (got) {
            CHECK(static_cast<std::uint64_t>(got->runs_after) == runs_after);
        }
    }
    BatchEncoder no_command;
    RunRequest empty;
    put_request(no_command, empty);
    BatchDecoder in(no_command.bytes());
    CHECK_FALSE(get_request(in));
}

TEST_CASE("a result stream cut off anywhere gives the whole results before the cut")
{
    const std::string whole = stream_of(3);
    const std::size_t one = stream_of(1).size();
    const std::size_t two = stream_of(2).size();
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        CAPTURE(cut);
        const BatchResults got = get_results(whole.substr(0, cut), 3);
        CHECK_FALSE(got.broken);
        const std::size_t complete = cut == whole.size() ? 3 : cut >= two ? 2 : cut >= one ? 1 : 0;
        REQUIRE(got.results.size() == complete);
        for (std::size_t index = 0; index < complete; ++index) {
            check_same(got.results[index], sample_result(static_cast<int>(index)));
        }
    }
}

TEST_CASE("a result stream that is not the results of the requests is broken")
{
    const std::string good = RawResult{}.bytes();
    REQUIRE(get_results(good, 1).results.size() == 1);
    const std::uint64_t huge = std::numeric_limits<std::uint64_t>::max();
    struct Forgery {
        const char* name;
        std::function<std::string()> bytes;
        std::size_t expected = 2;
    };
    const std::vector<Forgery> forgeries{
        {"an index out of turn",
         [] {
             RawResult raw;
             raw.index = 1;
             return raw.bytes();
         }},
        {"the same index twice", [&] { return good + good; }},
        {"more results than requests",
         [&] {
             RawResult second;
             second.index = 1;
             return good + second.bytes();
         },
         1},
        {"an ending that does not exist",
         [] {
             RawResult raw;
             raw.ending = 99;
             return raw.bytes();
         }},
        {"a status no process has",
         [] {
             RawResult raw;
             raw.status = 1ULL << 40;
             return raw.bytes();
         }},
        {"a signal no process has",
         [&] {
             RawResult raw;
             raw.ending = 1;
             raw.signal = huge;
             return raw.bytes();
         }},
        {"a flag that is neither",
         [] {
             RawResult raw;
             raw.out_of_memory = 2;
             return raw.bytes();
         }},
        {"an output longer than any result carries",
         [] {
             RawResult raw;
             raw.out.assign(returned_bytes + 1, 'x');
             raw.out_length = raw.out.size();
             return raw.bytes();
         }},
        {"a length that swallows the next result",
         [&] {
             RawResult raw;
             raw.out_length = raw.out.size() + 40;
             RawResult second;
             second.index = 1;
             return raw.bytes() + second.bytes() + good;
         }},
        {"seconds that are not a time",
         [] {
             RawResult raw;
             raw.seconds = std::nan("");
             return raw.bytes();
         }},
        {"negative seconds",
         [] {
             RawResult raw;
             raw.seconds = -1;
             return raw.bytes();
         }},
    };
    for (const Forgery& forgery : forgeries) {
        CAPTURE(forgery.name);
        const BatchResults got = get_results(forgery.bytes(), forgery.expected);
        CHECK(got.broken);
        CHECK(got.results.size() <= forgery.expected);
    }
    // A length beyond the end cannot be told from a stream cut off: never more than arrived.
    RawResult endless;
    endless.out_length = huge;
    const BatchResults got = get_results(good + endless.bytes(), 2);
    CHECK(got.results.size() == 1);
}

TEST_CASE("a batch's results are whole where its server ended well, and may stop where it did not")
{
    struct Served {
        const char* what;
        Ending ending;
        int status;
        int sent;            // results of the 3 requests it wrote
        std::size_t results; // taken as true
        bool broken;
    };
    const std::vector<Served> rows{
        {"all, and it ended well", Ending::exited, 0, 3, 3, false},
        {"fewer, and it ended well", Ending::exited, 0, 2, 2, true},
        {"none, and it ended well", Ending::exited, 0, 0, 0, true},
        {"fewer, and it was killed", Ending::signalled, 0, 2, 2, false},
        {"fewer, and it failed", Ending::exited, 1, 1, 1, false},
        {"fewer, and it ran out of time", Ending::timed_out, -1, 1, 1, false},
        {"more than all, and it ended well", Ending::exited, 0, 4, 3, true},
    };
    for (const Served& row : rows) {
        CAPTURE(row.what);
        RunResult served;
        served.ending = row.ending;
        served.status = row.status;
        served.out = stream_of(row.sent);
        const BatchResults got = batch_results(served, 3);
        CHECK(got.broken == row.broken);
        CHECK(got.results.size() == row.results);
    }
}
