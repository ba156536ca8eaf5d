// The store's start-up reads and its two saves on the in-memory registry,
// with the heaviest content the program takes. Measures only: what the
// store must do is checked by the tests.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "channel_store.h"
#include "data_set.h"
#include "registry_fixtures.h"

namespace {

using chromatte::AccountList;
using chromatte::ChannelTable;
using chromatte::test::MemoryRegistry;
using chromatte::bench::Shape;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "benchmark data set: %s\n", what);
  std::exit(1);
}

MemoryRegistry& RegistryOf(Shape shape) {
  static std::unique_ptr<MemoryRegistry> registries[2];
  std::unique_ptr<MemoryRegistry>& registry = registries[static_cast<int>(shape)];
  if (!registry) {
    registry = std::make_unique<MemoryRegistry>();
    chromatte::bench::ForEachValue(shape, [&](const std::string& path, const std::string& name, std::uint32_t type,
                                              const void* data, std::uint32_t size) {
      registry->PutValue(path, name, type, std::string(static_cast<const char*>(data), size));
    });
  }
  return *registry;
}

// The tables of the main window, on the heap: three of them are 50 KB.
struct Tables {
  AccountList accounts;
  ChannelTable pool;
  chromatte::PoolOrigin origin;
  ChannelTable channels;
  chromatte::KeyStamp channels_stamp;
};

void Startup(chromatte::Registry& registry, Tables& t) {
  chromatte::test::PoolRecorder observer;
  chromatte::LoadAccounts(registry, &t.accounts);
  chromatte::LoadPool(registry, t.accounts, &t.pool, &t.origin, observer);
  chromatte::LoadAccountChannels(registry, t.accounts.names[0], &t.channels, &t.channels_stamp);
}

void CheckStartup(Shape shape, const Tables& t) {
  if (t.accounts.count != chromatte::bench::kAccounts) Fail("accounts");
  if (t.pool.count != chromatte::bench::OwnKeyChannels(shape)) Fail("pool");
  if (t.channels.count != chromatte::bench::kAccountChannels) Fail("channels");
}

void SetCalls(benchmark::State& state, std::uint64_t calls) {
  state.counters["registry_calls"] =
      benchmark::Counter(static_cast<double>(calls) / static_cast<double>(state.iterations()));
}

void BM_StartupData(benchmark::State& state) {
  const Shape shape = static_cast<Shape>(state.range(0));
  MemoryRegistry& registry = RegistryOf(shape);
  auto t = std::make_unique<Tables>();
  const std::uint64_t before = registry.CallCount();
  for (auto _ : state) {
    Startup(registry, *t);
    benchmark::DoNotOptimize(t->channels.count);
  }
  SetCalls(state, registry.CallCount() - before);
  const chromatte::bench::StartupNeeds needs = chromatte::bench::NeedsOf(shape);
  state.counters["calls_needed"] = needs.calls();
  CheckStartup(shape, *t);
  state.SetLabel(chromatte::bench::ShapeName(shape));
}
BENCHMARK(BM_StartupData)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadAccounts(benchmark::State& state) {
  MemoryRegistry& registry = RegistryOf(Shape::kFullPool);
  auto accounts = std::make_unique<AccountList>();
  const std::uint64_t before = registry.CallCount();
  for (auto _ : state) {
    chromatte::LoadAccounts(registry, accounts.get());
    benchmark::DoNotOptimize(accounts->count);
  }
  SetCalls(state, registry.CallCount() - before);
}
BENCHMARK(BM_LoadAccounts)->Unit(benchmark::kMicrosecond);

void BM_LoadPool(benchmark::State& state) {
  const Shape shape = static_cast<Shape>(state.range(0));
  MemoryRegistry& registry = RegistryOf(shape);
  auto t = std::make_unique<Tables>();
  chromatte::LoadAccounts(registry, &t->accounts);
  chromatte::test::PoolRecorder observer;
  const std::uint64_t before = registry.CallCount();
  for (auto _ : state) {
    chromatte::LoadPool(registry, t->accounts, &t->pool, &t->origin, observer);
    benchmark::DoNotOptimize(t->pool.count);
  }
  SetCalls(state, registry.CallCount() - before);
  state.SetLabel(chromatte::bench::ShapeName(shape));
}
BENCHMARK(BM_LoadPool)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadAccountChannels(benchmark::State& state) {
  MemoryRegistry& registry = RegistryOf(Shape::kFullPool);
  auto t = std::make_unique<Tables>();
  const std::string first = chromatte::bench::AccountName(0);
  const std::uint64_t before = registry.CallCount();
  for (auto _ : state) {
    chromatte::LoadAccountChannels(registry, first, &t->channels, &t->channels_stamp);
    benchmark::DoNotOptimize(t->channels.count);
  }
  SetCalls(state, registry.CallCount() - before);
}
BENCHMARK(BM_LoadAccountChannels)->Unit(benchmark::kMicrosecond);

// The merge's name lookups alone, each account name looked up among the 511
// pool names as in the merge that reads everything: by scanning the table
// (FindByName, arg 0) and by the set of names the merge keeps (arg 1).
void BM_MergeLookups(benchmark::State& state) {
  const bool indexed = state.range(0) != 0;
  auto pool = std::make_unique<ChannelTable>();
  const int size = chromatte::bench::OwnKeyChannels(Shape::kMergeReadsAll);
  for (int i = 0; i < size; ++i) pool->Append(chromatte::bench::ChannelName(i), "", 0);
  const std::unordered_set<std::string> pool_names(pool->names, pool->names + pool->count);
  std::vector<std::string> names;
  for (int slot = 0; slot < chromatte::bench::kAccountChannels; ++slot)
    names.push_back(chromatte::bench::ChannelName(slot % size));
  for (auto _ : state) {
    int found = 0;
    for (int account = 0; account < chromatte::bench::kAccounts; ++account)
      for (const std::string& name : names)
        found += indexed ? static_cast<int>(pool_names.count(name)) : pool->FindByName(name) != pool->count;
    benchmark::DoNotOptimize(found);
  }
  state.SetLabel(indexed ? "set of names" : "FindByName scan");
}
BENCHMARK(BM_MergeLookups)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A save's calls against those its order needs. Each save is the window's,
// which checks the key against the stamp the one before it noted.
void SetSaveCalls(benchmark::State& state, std::uint64_t calls, int count) {
  SetCalls(state, calls);
  state.counters["calls_needed"] = chromatte::bench::SaveNeedsOf(count).calls();
}

void BM_SaveAccountChannels(benchmark::State& state) {
  const Shape shape = static_cast<Shape>(state.range(0));
  MemoryRegistry& registry = RegistryOf(shape);
  auto t = std::make_unique<Tables>();
  Startup(registry, *t);
  const std::uint64_t before = registry.CallCount();
  for (auto _ : state) {
    const chromatte::SaveResult saved = chromatte::SaveAccountChannels(registry, t->accounts.names[0], t->channels,
                                                                       &t->channels_stamp, chromatte::IfChanged::kRefuse);
    if (saved != chromatte::SaveResult::kSaved) Fail("save");
  }
  SetSaveCalls(state, registry.CallCount() - before, t->channels.count);
  state.SetLabel(chromatte::bench::ShapeName(shape));
}
BENCHMARK(BM_SaveAccountChannels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SavePool(benchmark::State& state) {
  const Shape shape = static_cast<Shape>(state.range(0));
  MemoryRegistry& registry = RegistryOf(shape);
  auto t = std::make_unique<Tables>();
  Startup(registry, *t);
  const std::uint64_t before = registry.CallCount();
  for (auto _ : state) {
    const chromatte::SaveResult saved =
        chromatte::SavePool(registry, t->pool, &t->origin.own_key, chromatte::IfChanged::kRefuse);
    if (saved != chromatte::SaveResult::kSaved) Fail("save");
  }
  SetSaveCalls(state, registry.CallCount() - before, t->pool.count);
  state.SetLabel(chromatte::bench::ShapeName(shape));
}
BENCHMARK(BM_SavePool)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Which calls one start-up makes, against what it has to read.
void PrintCallCounts() {
  std::printf("Registry calls of one start-up (accounts, pool with merge, first account's channels):\n");
  for (Shape shape : {Shape::kFullPool, Shape::kMergeReadsAll}) {
    MemoryRegistry& memory = RegistryOf(shape);
    chromatte::test::CallLog counting(memory);
    auto t = std::make_unique<Tables>();
    const std::uint64_t before = memory.CallCount();
    Startup(counting, *t);
    CheckStartup(shape, *t);
    const std::uint64_t calls = memory.CallCount() - before;
    const chromatte::bench::StartupNeeds needs = chromatte::bench::NeedsOf(shape);
    std::printf("  %-16s CallCount %llu: %s\n", chromatte::bench::ShapeName(shape),
                static_cast<unsigned long long>(calls), counting.Summary().c_str());
    std::printf("  %-16s needed: %d account names + %d values + %d list ends = %d reads, %d last-write times,"
                " %d keys opened and closed (%d calls)\n",
                "", needs.accounts, needs.values, needs.missing_values, needs.reads(), needs.stamps, needs.keys,
                needs.calls());
  }
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  PrintCallCounts();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
