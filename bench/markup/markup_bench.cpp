// CMarkupSTL against pugixml (default flags and parse_minimal) and tinyxml2: parse alone, and
// parse then walk every record reading its fields' texts the way our clients do. Each benchmark
// also reports the peak heap use of one parse and walk (counter peak_KB), counted at malloc. After
// the run a table puts the figures side by side as ratios to CMarkupSTL.
#include "bench_documents.h"
#include "counting_allocator.h"
#include "markup/MarkupSTL.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using bench::Document;

enum class Lib { kMarkup, kPugi, kPugiMinimal, kTinyXml2 };
const char* const kLibNames[] = {"markup", "pugixml", "pugixml_minimal", "tinyxml2"};
const Lib kLibs[] = {Lib::kMarkup, Lib::kPugi, Lib::kPugiMinimal, Lib::kTinyXml2};

// Each function parses doc and, when walk is set, reads every field of every record; it returns
// the total length of the texts read (a check that all libraries saw the same content).
std::size_t WithMarkup(const Document& doc, bool walk) {
    CMarkupSTL xml;
    if (!xml.SetDoc(doc.text.c_str())) return 0;
    if (!walk) return 1;
    std::size_t total = 0;
    if (!xml.FindElem(doc.root) || !xml.IntoElem()) return 0;
    auto readFields = [&] {
        for (const std::string& field : doc.fields) {
            if (xml.FindElem(field)) total += xml.GetElemData().size();
            xml.ResetLevelPos();  // fields in any order, as the brand lookup allows
        }
    };
    if (doc.record.empty()) {
        readFields();
        return total;
    }
    while (xml.FindElem(doc.record)) {
        xml.IntoElem();
        readFields();
        xml.LeaveElem();
    }
    return total;
}

std::size_t WithPugi(const Document& doc, bool walk, unsigned flags) {
    pugi::xml_document xml;
    if (!xml.load_buffer(doc.text.data(), doc.text.size(), flags)) return 0;
    if (!walk) return 1;
    std::size_t total = 0;
    const pugi::xml_node root = xml.child(doc.root.c_str());
    auto readFields = [&](const pugi::xml_node& node) {
        for (const std::string& field : doc.fields)
            total += std::strlen(node.child(field.c_str()).child_value());
    };
    if (doc.record.empty()) {
        readFields(root);
        return total;
    }
    const char* record = doc.record.c_str();
    for (pugi::xml_node rec = root.child(record); rec; rec = rec.next_sibling(record))
        readFields(rec);
    return total;
}

std::size_t WithTinyXml2(const Document& doc, bool walk) {
    tinyxml2::XMLDocument xml;
    if (xml.Parse(doc.text.data(), doc.text.size()) != tinyxml2::XML_SUCCESS) return 0;
    if (!walk) return 1;
    std::size_t total = 0;
    const tinyxml2::XMLElement* root = xml.FirstChildElement(doc.root.c_str());
    if (!root) return 0;
    auto readFields = [&](const tinyxml2::XMLElement* node) {
        for (const std::string& field : doc.fields) {
            const tinyxml2::XMLElement* e = node->FirstChildElement(field.c_str());
            const char* text = e ? e->GetText() : nullptr;
            if (text) total += std::strlen(text);
        }
    };
    if (doc.record.empty()) {
        readFields(root);
        return total;
    }
    const char* record = doc.record.c_str();
    for (const tinyxml2::XMLElement* rec = root->FirstChildElement(record); rec;
         rec = rec->NextSiblingElement(record))
        readFields(rec);
    return total;
}

std::size_t Run(Lib lib, const Document& doc, bool walk) {
    switch (lib) {
        case Lib::kMarkup:
            return WithMarkup(doc, walk);
        case Lib::kPugi:
            return WithPugi(doc, walk, pugi::parse_default);
        case Lib::kPugiMinimal:
            return WithPugi(doc, walk, pugi::parse_minimal);
        case Lib::kTinyXml2:
            return WithTinyXml2(doc, walk);
    }
    return 0;
}

void Benchmark(benchmark::State& state, Lib lib, const Document* doc, bool walk) {
    const std::int64_t peak = bench::PeakHeapBytes([&] { Run(lib, *doc, walk); });
    for (auto _ : state) benchmark::DoNotOptimize(Run(lib, *doc, walk));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc->text.size()));
    state.counters["peak_KB"] = static_cast<double>(peak) / 1024.0;
}

std::string Name(const char* mode, const Document& doc, Lib lib) {
    return std::string(mode) + '/' + doc.label + '/' + kLibNames[static_cast<int>(lib)];
}

// Console output as usual, and the time and peak of each benchmark kept for the table (the
// median when repetitions are asked for).
class TableReporter : public benchmark::ConsoleReporter {
public:
    struct Result {
        double micros = 0;      // CPU time per iteration
        double realMicros = 0;  // wall time per iteration
        double peakKB = 0;
    };
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && !median)) continue;
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Iteration && medians_.count(name)) continue;
            if (median) medians_[name] = true;
            Result& r = results_[name];
            r.micros = run.GetAdjustedCPUTime() * Scale(run.time_unit);
            r.realMicros = run.GetAdjustedRealTime() * Scale(run.time_unit);
            const auto peak = run.counters.find("peak_KB");
            if (peak != run.counters.end()) r.peakKB = peak->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    const Result* Find(const std::string& name) const {
        const auto it = results_.find(name);
        return it == results_.end() ? nullptr : &it->second;
    }

private:
    static double Scale(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1e-3;
            case benchmark::kMicrosecond:
                return 1;
            case benchmark::kMillisecond:
                return 1e3;
            case benchmark::kSecond:
                return 1e6;
        }
        return 1;
    }
    std::map<std::string, Result> results_;
    std::map<std::string, bool> medians_;
};

void PrintTable(const TableReporter& reporter, const std::vector<Document>& docs) {
    // Times are CPU times: on a shared machine they are steadier than wall times, which are
    // shown for parse+walk as well. _x: the library's figure over CMarkupSTL's (above 1:
    // CMarkupSTL is faster or smaller).
    std::printf("\n%-13s %-16s %10s %14s %12s %10s %8s %8s %8s\n", "document", "library",
                "parse_us", "parse+walk_us", "(wall_us)", "peak_KB", "parse_x", "walk_x", "peak_x");
    for (const Document& doc : docs) {
        const auto* parse0 = reporter.Find(Name("parse", doc, Lib::kMarkup));
        const auto* walk0 = reporter.Find(Name("parse_walk", doc, Lib::kMarkup));
        for (Lib lib : kLibs) {
            const auto* parse = reporter.Find(Name("parse", doc, lib));
            const auto* walk = reporter.Find(Name("parse_walk", doc, lib));
            if (!parse || !walk || !parse0 || !walk0) continue;
            std::printf("%-13s %-16s %10.1f %14.1f %12.1f %10.1f %8.2f %8.2f %8.2f\n",
                        doc.label.c_str(), kLibNames[static_cast<int>(lib)], parse->micros,
                        walk->micros, walk->realMicros, walk->peakKB,
                        parse->micros / parse0->micros, walk->micros / walk0->micros,
                        walk->peakKB / walk0->peakKB);
        }
    }
    std::printf(
        "\nGoals (parse+walk, CPU time): tinyxml2 time / markup time >= 1.5; pugixml "
        "default time / markup time >= 1.0; markup peak / pugixml default peak <= 1.0\n");
    for (const Document& doc : docs) {
        const auto* m = reporter.Find(Name("parse_walk", doc, Lib::kMarkup));
        const auto* p = reporter.Find(Name("parse_walk", doc, Lib::kPugi));
        const auto* t = reporter.Find(Name("parse_walk", doc, Lib::kTinyXml2));
        if (!m || !p || !t) continue;
        const double vsTiny = t->micros / m->micros;
        const double vsPugi = p->micros / m->micros;
        const double peak = m->peakKB / p->peakKB;
        std::printf(
            "%-13s vs tinyxml2 %5.2fx [%s]  vs pugixml %5.2fx [%s]  peak %4.2f of "
            "pugixml [%s]\n",
            doc.label.c_str(), vsTiny, vsTiny >= 1.5 ? "met" : "MISSED", vsPugi,
            vsPugi >= 1.0 ? "met" : "MISSED", peak, peak <= 1.0 ? "met" : "MISSED");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Document> docs = {
        bench::MakeReply(),
        bench::MakeBrandTable("table_200KB", 2000),
        bench::MakeBrandTableWithEntities("table_20MB", 20u << 20),
    };

    // The libraries that decode references must agree on what the walk reads.
    for (const Document& doc : docs) {
        const std::size_t mine = Run(Lib::kMarkup, doc, true);
        const std::size_t pugi = Run(Lib::kPugi, doc, true);
        const std::size_t tiny = Run(Lib::kTinyXml2, doc, true);
        std::printf("%s: %zu bytes, %zu bytes of field text\n", doc.label.c_str(), doc.text.size(),
                    mine);
        if (mine == 0 || mine != pugi || mine != tiny) {
            std::fprintf(stderr, "%s: texts differ: markup %zu, pugixml %zu, tinyxml2 %zu\n",
                         doc.label.c_str(), mine, pugi, tiny);
            return 1;
        }
    }

    for (const Document& doc : docs) {
        for (const char* mode : {"parse", "parse_walk"}) {
            const bool walk = std::strcmp(mode, "parse_walk") == 0;
            for (Lib lib : kLibs) {
                benchmark::RegisterBenchmark(Name(mode, doc, lib).c_str(), Benchmark, lib, &doc,
                                             walk)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintTable(reporter, docs);
    return 0;
}
