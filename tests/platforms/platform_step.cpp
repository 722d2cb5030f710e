// The platforms' step after a check, done on a JSON report of exercise-check: what the checker's
// --gradescope, --classroom, --vpl, --worksheet, --shard and merge write, from the same parts.
// The platforms' end-to-end checks run it through exercise-check-shim.sh.
//
//   platform-step gradescope REPORT RESULTS SECONDS   results.json for Gradescope
//   platform-step classroom REPORT RESULT             GitHub Classroom's result
//   platform-step vpl REPORT MIN MAX                  VPL's comments and grade
//   platform-step worksheet REPORT IN.csv OUT.csv     Moodle's worksheet filled in
//   platform-step programs REPORT OUT LIST            the report of the programs listed only
//   platform-step digest REPORT OUT                   source_sha256 added to each program
//   platform-step shard K/N NAME...                   the names in shard K of N, one a line
//   platform-step merge OUT.json OUT.csv REPORT...    shards' reports as one
#include "cases.h"
#include "catalogue.h"
#include "merge.h"
#include "report.h"
#include "report_classroom.h"
#include "report_gradescope.h"
#include "report_vpl.h"
#include "shard.h"
#include "worksheet.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

using namespace check;

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Report read_report(const std::string &path)
{
    std::istringstream in(read_file(path));
    return read_json_report(in, load_catalogue(default_case_data())).report;
}

void write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush())
    {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::string> split(const std::string &list)
{
    std::vector<std::string> items;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ','))
    {
        items.push_back(item);
    }
    return items;
}

int run(const std::vector<std::string> &args)
{
    const std::string &step = args.at(0);
    if (step == "gradescope" && args.size() == 4)
    {
        std::ostringstream out;
        write_gradescope(out, read_report(args[1]), std::stod(args[3]));
        write_file(args[2], out.str());
    }
    else if (step == "classroom" && args.size() == 3)
    {
        std::ostringstream out;
        write_classroom(out, read_report(args[1]));
        write_file(args[2], out.str());
    }
    else if (step == "vpl" && args.size() == 4)
    {
        write_vpl(std::cout, read_report(args[1]), std::stod(args[2]), std::stod(args[3]));
    }
    else if (step == "worksheet" && args.size() == 4)
    {
        const WorksheetOutcome outcome =
            write_worksheet_file(args[2], args[3], graded_people(read_report(args[1])));
        for (const std::string &who : outcome.unmatched)
        {
            std::cerr << "exercise-check: no row of the worksheet for " << who << '\n';
        }
        for (const std::string &problem : outcome.problems)
        {
            std::cerr << "exercise-check: " << problem << '\n';
        }
    }
    else if (step == "programs" && args.size() == 4)
    {
        auto document = nlohmann::ordered_json::parse(read_file(args[1]));
        const std::vector<std::string> wanted = split(args[3]);
        for (auto &person : document["people"])
        {
            auto kept = nlohmann::ordered_json::array();
            for (auto &program : person["programs"])
            {
                if (std::find(wanted.begin(), wanted.end(), program["program"]) != wanted.end())
                {
                    kept.push_back(program);
                }
            }
            person["programs"] = kept;
        }
        write_file(args[2], document.dump(2) + "\n");
    }
    else if (step == "digest" && args.size() == 3)
    {
        auto document = nlohmann::ordered_json::parse(read_file(args[1]));
        for (auto &person : document["people"])
        {
            for (auto &program : person["programs"])
            {
                const std::string source = program.value("source", "");
                program["source_sha256"] = source.empty() ? "" : sha256_hex(read_file(source));
            }
        }
        write_file(args[2], document.dump(2) + "\n");
    }
    else if (step == "shard" && args.size() >= 2)
    {
        const auto shard = parse_shard(args[1]);
        if (!shard)
        {
            throw std::runtime_error("a shard is K/N, K from 1 to N");
        }
        for (std::size_t index = 2; index < args.size(); ++index)
        {
            if (in_shard(args[index], *shard))
            {
                std::cout << args[index] << '\n';
            }
        }
    }
    else if (step == "merge" && args.size() >= 4)
    {
        const Report merged =
            merge_report_files({args.begin() + 3, args.end()}, load_catalogue(default_case_data()));
        std::ostringstream json;
        write_json(json, merged);
        write_file(args[1], json.str());
        std::ostringstream csv;
        write_csv(csv, merged);
        write_file(args[2], csv.str());
    }
    else
    {
        std::cerr << "platform-step: unknown step or wrong arguments: " << step << '\n';
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
    {
        std::cerr << "usage: platform-step STEP ARGS...\n";
        return 2;
    }
    try
    {
        return run({argv + 1, argv + argc});
    }
    catch (const std::exception &problem)
    {
        std::cerr << "platform-step: " << problem.what() << '\n';
        return 2;
    }
}
