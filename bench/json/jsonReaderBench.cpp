#include <benchmark/benchmark.h>

#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <string>

#include "json/jsonReader.h"
#include "jsonBenchDocuments.h"

namespace {

void setThroughput(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}

void kestrelValidate(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    const char* end = jsonz_parse(text.c_str(), nullptr);
    if (end == nullptr) state.SkipWithError("document rejected");
    benchmark::DoNotOptimize(end);
  }
  setThroughput(state, text);
}

// RapidJSON's SAX reader with a handler that keeps nothing: validation plus
// its own string decoding and number conversion, no tree.
void rapidJsonSax(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    rapidjson::Reader reader;
    rapidjson::BaseReaderHandler<> handler;
    rapidjson::StringStream stream(text.c_str());
    const auto result = reader.Parse(stream, handler);
    if (result.IsError()) state.SkipWithError("document rejected");
    benchmark::DoNotOptimize(result);
  }
  setThroughput(state, text);
}

// RapidJSON building its document tree, as a caller that reads members would.
void rapidJsonDom(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(text.c_str());
    if (document.HasParseError()) state.SkipWithError("document rejected");
    benchmark::DoNotOptimize(document);
  }
  setThroughput(state, text);
}

void BM_Kestrel_RouteRequest(benchmark::State& state) { kestrelValidate(state, jsonBench::routeRequest()); }
void BM_RapidJsonSax_RouteRequest(benchmark::State& state) { rapidJsonSax(state, jsonBench::routeRequest()); }
void BM_RapidJsonDom_RouteRequest(benchmark::State& state) { rapidJsonDom(state, jsonBench::routeRequest()); }
void BM_Kestrel_1MB(benchmark::State& state) { kestrelValidate(state, jsonBench::largeDocument()); }
void BM_RapidJsonSax_1MB(benchmark::State& state) { rapidJsonSax(state, jsonBench::largeDocument()); }
void BM_RapidJsonDom_1MB(benchmark::State& state) { rapidJsonDom(state, jsonBench::largeDocument()); }

BENCHMARK(BM_Kestrel_RouteRequest);
BENCHMARK(BM_RapidJsonSax_RouteRequest);
BENCHMARK(BM_RapidJsonDom_RouteRequest);
BENCHMARK(BM_Kestrel_1MB);
BENCHMARK(BM_RapidJsonSax_1MB);
BENCHMARK(BM_RapidJsonDom_1MB);

}  // namespace
