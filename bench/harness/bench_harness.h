#pragma once

// What the end-to-end benches share: running a command and measuring it,
// settings that keep a rip away from the network, generated disc images, and
// the median and spread of repeated runs.

#include <filesystem>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace sonfeld::bench {

namespace fs = std::filesystem;

// One run of a command, from the resource usage of the process itself.
struct Measure {
    double wall = 0;  // seconds
    double cpu = 0;   // user and system seconds of the command and all it waited for
    long peakKiB = 0; // the largest single process's peak resident set
    bool ok = true;   // exited with 0
};

// Runs a shell command and measures it with everything it started. A command
// that should be measured alone starts with "exec", so no shell stands between.
Measure Run(const std::string& command);

// A path quoted for the shell.
std::string Q(const fs::path& path);

// False, after naming the first missing tool on stderr, unless every tool is installed.
bool ToolsInstalled(std::initializer_list<const char*> tools);

// Settings of our own under dir (the user's stored ones must not change what
// is measured), every lookup pointed at a local port that refuses at once,
// and the window offscreen. Applies to the processes started afterwards.
void IsolateSettings(const fs::path& dir);

// A generated disc of the given length and track count as dir/name.cue and
// .bin, read once so every run finds it in the page cache. Returns the cue.
fs::path MakeImage(const fs::path& dir, const std::string& name, int minutes, int tracks);

// The command line of `sonfeld --rip` of an image into out, its output discarded.
std::string SonfeldRip(const fs::path& image, const std::string& format, const fs::path& out);

// The median and the range of a series.
struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};
Spread SpreadOf(std::vector<double> values);

// figure(item) for every item, in order.
template <class Item, class Figure> auto Mapped(const std::vector<Item>& items, Figure figure)
{
    std::vector<std::invoke_result_t<Figure, const Item&>> values;
    values.reserve(items.size());
    for (const Item& item : items)
        values.push_back(figure(item));
    return values;
}

// The spreads of a series of runs; ok only when every run exited with 0.
struct RunSpreads {
    Spread wall;
    Spread cpu;
    Spread peakMiB;
    bool ok = true;
};
RunSpreads SpreadsOf(const std::vector<Measure>& runs);

// Slope of the least-squares line through (x, y).
double Slope(const std::vector<double>& x, const std::vector<double>& y);

// "--name=value" arguments and plain ones, in order.
struct Arguments {
    std::vector<std::string> plain;
    std::vector<std::pair<std::string, std::string>> named;
    // The value of --name=value, or fallback.
    std::string Named(const std::string& name, const std::string& fallback) const;
};
Arguments ParseArguments(int argc, char** argv);

// A comma-separated list split into its items.
std::vector<std::string> SplitList(const std::string& list);

} // namespace sonfeld::bench
