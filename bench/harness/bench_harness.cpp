#include "bench_harness.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "audio/core/dynamic_library.h"
#include "disc_image.h"
#include "support/http/http_test_server.h"
#include "support/tools.h"

namespace sonfeld::bench {

namespace {

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

} // namespace

Measure Run(const std::string& command)
{
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) {
        std::fprintf(stderr, "cannot start: %s\n", command.c_str());
        m.ok = false;
        return m;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        std::fprintf(stderr, "lost: %s\n", command.c_str());
        m.ok = false;
        return m;
    }
    m.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The shell waited for everything it started, so its record holds their
    // CPU time too; its peak is the largest single process's.
    m.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    m.peakKiB = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!m.ok)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    return m;
}

std::string Q(const fs::path& path)
{
    return test::ShellQuote(path.string());
}

bool ToolsInstalled(std::initializer_list<const char*> tools)
{
    for (const char* tool : tools) {
        if (!test::ToolAvailable(tool)) {
            std::fprintf(stderr, "%s is not installed\n", tool);
            return false;
        }
    }
    return true;
}

void IsolateSettings(const fs::path& dir)
{
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    // The default reading mode then reads every track securely, as
    // cd-paranoia does, without waiting for an answer.
    const std::string closed = "http://127.0.0.1:" + std::to_string(test::UnusedLocalPort());
    fs::create_directories(dir / "config" / "Tessaly");
    std::ofstream(dir / "config" / "Tessaly" / "CDRip.conf")
        << "[General]\nAccurateRipServer=" << closed << "/accuraterip\nMusicBrainzServer=" << closed
        << "\nGnudbServer=" << closed << "\nCoverArtServer=" << closed << "\nCTDBServer=" << closed
        << "\n";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

fs::path MakeImage(const fs::path& dir, const std::string& name, int minutes, int tracks)
{
    const disc_image::DiscSpec spec = disc_image::AlternatingToneAndNoiseDisc(minutes, tracks);
    fs::path cue = dir / name;
    cue += ".cue";
    disc_image::WriteCueBin(spec, cue);
    fs::path bin = dir / name;
    bin += ".bin";
    test::RunCommand("cat " + Q(bin) + " > /dev/null");
    return cue;
}

std::string SonfeldRip(const fs::path& image, const std::string& format, const fs::path& out)
{
    return "exec " + Q(InProgramFolder("sonfeld")) + " --rip --image " + Q(image) + " --format " +
           format + " --out " + Q(out) + " >/dev/null 2>&1";
}

Spread SpreadOf(std::vector<double> values)
{
    Spread s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

RunSpreads SpreadsOf(const std::vector<Measure>& runs)
{
    RunSpreads result;
    result.wall = SpreadOf(Mapped(runs, [](const Measure& m) { return m.wall; }));
    result.cpu = SpreadOf(Mapped(runs, [](const Measure& m) { return m.cpu; }));
    result.peakMiB = SpreadOf(
        Mapped(runs, [](const Measure& m) { return static_cast<double>(m.peakKiB) / 1024; }));
    result.ok = std::all_of(runs.begin(), runs.end(), [](const Measure& m) { return m.ok; });
    return result;
}

double Slope(const std::vector<double>& x, const std::vector<double>& y)
{
    const std::size_t n = std::min(x.size(), y.size());
    if (n < 2)
        return 0;
    double meanX = 0;
    double meanY = 0;
    for (std::size_t i = 0; i < n; ++i) {
        meanX += x[i];
        meanY += y[i];
    }
    meanX /= static_cast<double>(n);
    meanY /= static_cast<double>(n);
    double covariance = 0;
    double variance = 0;
    for (std::size_t i = 0; i < n; ++i) {
        covariance += (x[i] - meanX) * (y[i] - meanY);
        variance += (x[i] - meanX) * (x[i] - meanX);
    }
    return variance > 0 ? covariance / variance : 0;
}

std::string Arguments::Named(const std::string& name, const std::string& fallback) const
{
    for (const auto& [key, value] : named)
        if (key == name)
            return value;
    return fallback;
}

Arguments ParseArguments(int argc, char** argv)
{
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos)
            arguments.named.emplace_back(argument.substr(2, equals - 2),
                                         argument.substr(equals + 1));
        else
            arguments.plain.push_back(argument);
    }
    return arguments;
}

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> items;
    std::size_t from = 0;
    while (from <= list.size()) {
        const std::size_t comma = std::min(list.find(',', from), list.size());
        if (comma > from)
            items.push_back(list.substr(from, comma - from));
        from = comma + 1;
    }
    return items;
}

} // namespace sonfeld::bench
