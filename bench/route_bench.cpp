// Generated routes flown through the whole engine and judged as a user watching them would
// (tests/support/route_generator.h, route_checker.h): N routes from a first seed, the kinds
// and types in turn, spread over forked workers (the engine's state is one per process).
// Prints a table by route kind and type (routes, the share passing, the share passing the
// real way too, the worst of each check as value/limit, "!" past it) and the worst routes (the
// worst of each kind first), and writes their traces as JSON for bench/route_plot.py.
//   route_bench [N=1000] [--from SEED=1] [--seed SEED] [--kind NAME] [--type TYPE]
//               [--jobs 4] [--worst 11] [--json FILE] [--replay] [--fault R,N,L] [--noise M]
//               [--gaps MIN,MAX]
// --seed flies that one seed (with --kind and --type: the route a failing test names).
// --replay judges the real aircraft's own track 30 s late, as a perfect engine would fly
// it: every route passes, or a check judges the harness; --fault puts a fault into that
// replay (metres to the right, degrees of the nose to the right, seconds late). --noise sets the reports' position
// noise (metres) of every route instead of the drawn one, --gaps the seconds between reports.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "support/route_checker.h"
#include "support/route_generator.h"

using namespace traffictest;

namespace {

struct Job {
    uint32_t seed;
    RouteKind kind;
    std::string type;
};

struct Options {
    int count = 1000;
    uint32_t from = 1;
    std::optional<uint32_t> seed;
    std::optional<RouteKind> kind;
    std::optional<std::string> type;
    int jobs = 4;
    int worst = 11;
    std::string json;
    bool replay = false; // judge the truth replayed 30 s late instead of the engine's track
    std::optional<double> noiseM; // the reports' position noise instead of the drawn one
    std::optional<std::pair<double, double>> gapsS; // the reports' spacing instead of the drawn one
    ReplayFault fault;            // put into the replay
};

bool lf_parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--from" && more) {
            o.from = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--seed" && more) {
            o.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--kind" && more) {
            o.kind = routeKindFromName(argv[++i]);
            if (!o.kind) {
                std::fprintf(stderr, "route_bench: no route kind %s\n", argv[i]);
                return false;
            }
        } else if (a == "--type" && more) {
            o.type = argv[++i];
            if (std::find(std::begin(g_routeTypes), std::end(g_routeTypes), *o.type) == std::end(g_routeTypes)) {
                std::fprintf(stderr, "route_bench: no route type %s\n", argv[i]);
                return false;
            }
        } else if (a == "--jobs" && more) {
            o.jobs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--worst" && more) {
            o.worst = std::max(0, std::atoi(argv[++i]));
        } else if (a == "--noise" && more) {
            o.noiseM = std::atof(argv[++i]);
        } else if (a == "--replay") {
            o.replay = true;
        } else if (a == "--fault" && more) {
            o.replay = true;
            if (std::sscanf(argv[++i], "%lf,%lf,%lf", &o.fault.rightM, &o.fault.noseDeg, &o.fault.lateS) != 3) {
                std::fprintf(stderr, "route_bench: --fault RIGHT_M,NOSE_DEG,LATE_S\n");
                return false;
            }
        } else if (a == "--gaps" && more) {
            double from = 0.0;
            double to = 0.0;
            if (std::sscanf(argv[++i], "%lf,%lf", &from, &to) != 2 || !(from > 0.0) || !(to >= from)) {
                std::fprintf(stderr, "route_bench: --gaps MIN_S,MAX_S\n");
                return false;
            }
            o.gapsS = std::pair{from, to};
        } else if (a == "--json" && more) {
            o.json = argv[++i];
        } else if (!a.empty() && a[0] != '-') {
            o.count = std::max(1, std::atoi(a.c_str()));
        } else {
            std::fprintf(stderr, "route_bench: unknown option %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

std::vector<Job> lf_jobs(const Options& o)
{
    std::vector<Job> jobs;
    const size_t kinds = std::size(g_routeKinds);
    const size_t types = std::size(g_routeTypes);
    const int n = o.seed ? 1 : o.count;
    for (int i = 0; i < n; ++i) {
        const auto u = static_cast<size_t>(i);
        jobs.push_back({o.seed ? *o.seed : o.from + static_cast<uint32_t>(i), o.kind.value_or(g_routeKinds[u % kinds]),
                        o.type.value_or(g_routeTypes[u / kinds % types])});
    }
    return jobs;
}

// One line per route: index, then per check judged, worst, limit, time; then the failures
// and the drawn figures, tab-separated.
std::string lf_line(size_t index, const RouteOutcome& r)
{
    std::string line = fmt::format("{}", index);
    for (const CheckResult& c : r.checks)
        line += fmt::format("\t{}\t{:.17g}\t{:.17g}\t{:.17g}", c.judged ? 1 : 0, c.worst, c.limit, c.atS);
    return line + "\t" + r.failures() + "\t" + r.drawn + "\n";
}

RouteOutcome lf_fromLine(const std::string& line, const std::vector<Job>& jobs, size_t& index)
{
    std::vector<std::string> f;
    std::stringstream in(line);
    for (std::string x; std::getline(in, x, '\t');)
        f.push_back(x);
    index = std::stoul(f.at(0));
    RouteOutcome r;
    r.seed = jobs.at(index).seed;
    r.kind = jobs.at(index).kind;
    r.type = jobs.at(index).type;
    const std::vector<std::string>& names = routeCheckNames();
    for (size_t i = 0; i < names.size(); ++i) {
        CheckResult c;
        c.name = names[i];
        c.judged = f.at(1 + 4 * i) == "1";
        c.worst = std::stod(f.at(2 + 4 * i));
        c.limit = std::stod(f.at(3 + 4 * i));
        c.atS = std::stod(f.at(4 + 4 * i));
        r.checks.push_back(c);
    }
    const size_t rest = 1 + 4 * names.size();
    r.drawn = f.size() > rest + 1 ? f[rest + 1] : "";
    return r;
}

// The routes spread over forked workers, each writing its lines to its own file.
GeneratedRoute lf_route(const Job& job, const Options& o)
{
    GeneratedRoute route = generateRoute(job.seed, job.kind, job.type);
    if (o.noiseM) {
        route.feed.positionNoiseM = *o.noiseM;
        route.drawn += fmt::format(", set to {:g} m", *o.noiseM);
    }
    if (o.gapsS) {
        route.feed.minGapS = o.gapsS->first;
        route.feed.maxGapS = o.gapsS->second;
        route.drawn += fmt::format(", spacing set to {:g}-{:g} s", o.gapsS->first, o.gapsS->second);
    }
    return route;
}

RouteOutcome lf_fly(const Job& job, const Options& o, bool keepTrace)
{
    const GeneratedRoute route = lf_route(job, o);
    return o.replay ? judgeTruthReplay(route, o.fault) : runRoute(route, keepTrace);
}

std::vector<RouteOutcome> lf_flyAll(const std::vector<Job>& jobs, int workers, const Options& o)
{
    workers = std::min<int>(workers, static_cast<int>(jobs.size()));
    std::vector<std::string> files;
    std::vector<pid_t> pids;
    for (int w = 0; w < workers; ++w) {
        files.push_back(fmt::format("/tmp/route_bench_{}_{}.txt", getpid(), w));
        const pid_t pid = fork();
        if (pid == 0) {
            std::ofstream out(files.back());
            for (size_t i = static_cast<size_t>(w); i < jobs.size(); i += static_cast<size_t>(workers)) {
                const RouteOutcome r = lf_fly(jobs[i], o, false);
                out << lf_line(i, r) << std::flush;
            }
            _exit(out ? 0 : 1);
        }
        pids.push_back(pid);
    }
    bool ok = true;
    for (const pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    std::vector<RouteOutcome> out(jobs.size());
    std::vector<bool> seen(jobs.size(), false);
    for (const std::string& file : files) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            size_t index = 0;
            RouteOutcome r = lf_fromLine(line, jobs, index);
            out[index] = std::move(r);
            seen[index] = true;
        }
        std::remove(file.c_str());
    }
    if (!ok || std::count(seen.begin(), seen.end(), false) > 0)
        std::fprintf(stderr, "route_bench: a worker failed; %zd routes missing\n",
                     std::count(seen.begin(), seen.end(), false));
    std::erase_if(out, [](const RouteOutcome& r) { return r.checks.empty(); });
    return out;
}

std::string lf_cell(const std::vector<const RouteOutcome*>& group, size_t check)
{
    const CheckResult* worst = nullptr;
    for (const RouteOutcome* r : group) {
        const CheckResult& c = r->checks[check];
        if (c.judged && (worst == nullptr || c.share() > worst->share()))
            worst = &c;
    }
    if (worst == nullptr)
        return "-";
    return fmt::format("{:.{}f}/{:g}{}", worst->worst, worst->worst < 10.0 ? 2 : 1, worst->limit,
                       worst->pass() ? "" : "!");
}

void lf_row(const std::string& kind, const std::string& type, const std::vector<const RouteOutcome*>& group)
{
    if (group.empty())
        return;
    const auto passing = std::count_if(group.begin(), group.end(), [](const RouteOutcome* r) { return r->pass(); });
    const auto onRealWay =
        std::count_if(group.begin(), group.end(), [](const RouteOutcome* r) { return r->keepsToRealWay(); });
    std::printf("%-13s %-5s %6zu %7.1f %7.1f", kind.c_str(), type.c_str(), group.size(), 100.0 * passing / group.size(),
                100.0 * onRealWay / group.size());
    for (size_t c = 0; c < routeCheckNames().size(); ++c)
        std::printf(" %12s", lf_cell(group, c).c_str());
    std::printf("\n");
}

void lf_table(const std::vector<RouteOutcome>& all)
{
    std::printf("%-13s %-5s %6s %7s %7s", "kind", "type", "routes", "pass %", "real %");
    for (const std::string& name : routeCheckNames())
        std::printf(" %12s", name.c_str());
    std::printf("\n");
    for (const RouteKind kind : g_routeKinds) {
        std::vector<const RouteOutcome*> ofKind;
        for (const char* type : g_routeTypes) {
            std::vector<const RouteOutcome*> group;
            for (const RouteOutcome& r : all) {
                if (r.kind == kind && r.type == type)
                    group.push_back(&r);
            }
            lf_row(std::string(routeKindName(kind)), type, group);
            ofKind.insert(ofKind.end(), group.begin(), group.end());
        }
        lf_row(std::string(routeKindName(kind)), "all", ofKind);
    }
    std::vector<const RouteOutcome*> every;
    for (const RouteOutcome& r : all)
        every.push_back(&r);
    lf_row("all", "all", every);
}

void lf_json(std::ofstream& out, const RouteOutcome& r, const GeneratedRoute& route, bool first)
{
    out << (first ? "" : ",\n") << "{";
    out << fmt::format("\"seed\":{},\"kind\":\"{}\",\"type\":\"{}\",\"drawn\":\"{}\",\"failures\":\"{}\",", r.seed,
                       routeKindName(r.kind), r.type, r.drawn, r.failures());
    out << "\"checks\":{";
    for (size_t i = 0; i < r.checks.size(); ++i) {
        const CheckResult& c = r.checks[i];
        out << fmt::format("{}\"{}\":{{\"judged\":{},\"worst\":{:.3f},\"limit\":{:g},\"at\":{:.2f},\"pass\":{}}}",
                           i ? "," : "", c.name, c.judged, c.worst, c.limit, c.atS, c.pass());
    }
    out << "},\"flown\":[";
    for (size_t i = 0; i < r.trace.flown.size(); ++i) {
        const RouteTrace::Frame& f = r.trace.flown[i];
        out << fmt::format("{}[{:.3f},{:.2f},{:.2f},{:.1f},{:.0f}]", i ? "," : "", f.t, f.east, f.north, f.headingDeg,
                           f.altFt);
    }
    out << "],\"reports\":[";
    for (size_t i = 0; i < r.trace.reports.size(); ++i) {
        const RouteTrace::Report& p = r.trace.reports[i];
        out << fmt::format("{}[{:.2f},{:.2f},{:.2f},{:.1f},{:.1f}]", i ? "," : "", p.t, p.east, p.north, p.gsKt,
                           p.trackDeg);
    }
    out << "],\"truth\":[";
    for (size_t i = 0; i < r.trace.truth.size(); ++i) {
        const TruthState& x = r.trace.truth[i];
        out << fmt::format("{}[{:.1f},{:.2f},{:.2f},{:.1f},{:.1f},{:.0f}]", i ? "," : "", x.t, x.east, x.north,
                           x.headingDeg, x.gsKt, x.altFt);
    }
    out << "],\"stands\":[";
    for (size_t i = 0; i < route.stands.size(); ++i) {
        const RouteStand& s = route.stands[i];
        out << fmt::format("{}[{:.2f},{:.2f},{:.1f},{:.1f}]", i ? "," : "", s.east, s.north, s.headingDeg, s.radiusM);
    }
    out << "]}";
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!lf_parse(argc, argv, o))
        return 2;
    const std::vector<Job> jobs = lf_jobs(o);
    const auto start = std::chrono::steady_clock::now();
    std::vector<RouteOutcome> all = lf_flyAll(jobs, o.jobs, o);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu routes from seed %u in %.0f s (%.2f s a route on %d workers)\n\n", all.size(), jobs.front().seed,
                seconds, seconds * o.jobs / std::max<size_t>(all.size(), 1), o.jobs);
    lf_table(all);

    // The worst route of each kind, the worst first, then the next worst of any kind.
    std::vector<const RouteOutcome*> ranked;
    for (const RouteOutcome& r : all)
        ranked.push_back(&r);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const RouteOutcome* a, const RouteOutcome* b) { return a->worstShare() > b->worstShare(); });
    std::vector<const RouteOutcome*> order;
    for (const RouteOutcome* r : ranked) {
        if (std::none_of(order.begin(), order.end(), [r](const RouteOutcome* x) { return x->kind == r->kind; }))
            order.push_back(r);
    }
    for (const RouteOutcome* r : ranked) {
        if (std::find(order.begin(), order.end(), r) == order.end())
            order.push_back(r);
    }
    order.resize(std::min<size_t>(order.size(), static_cast<size_t>(o.worst)));
    std::printf("\nworst routes, the worst of each kind first (rerun: route_bench --seed S --kind K --type T):\n");
    std::ofstream json;
    if (!o.json.empty()) {
        json.open(o.json);
        json << "{\"routes\":[\n";
    }
    bool first = true;
    for (const RouteOutcome* w : order) {
        // Flown again here, with its trace: the same seed flies the same route.
        const GeneratedRoute route = lf_route({w->seed, w->kind, w->type}, o);
        const RouteOutcome r = o.replay ? judgeTruthReplay(route, o.fault) : runRoute(route, true);
        std::printf("  seed %u, %s, %s (%s): %s\n", r.seed, std::string(routeKindName(r.kind)).c_str(), r.type.c_str(),
                    r.drawn.c_str(), r.pass() ? "passes" : r.failures().c_str());
        if (json.is_open())
            lf_json(json, r, route, first);
        first = false;
    }
    if (json.is_open())
        json << "\n]}\n";
    const auto passing = std::count_if(all.begin(), all.end(), [](const RouteOutcome& r) { return r.pass(); });
    const auto onRealWay =
        std::count_if(all.begin(), all.end(), [](const RouteOutcome& r) { return r.keepsToRealWay(); });
    std::printf("\n%zd of %zu routes pass every check; %zd pass the real way's too\n", passing, all.size(), onRealWay);
    return 0;
}
