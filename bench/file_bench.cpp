// Throughput of the file layer and of TRAP (with and without a progress
// display) against a plain buffered copy of the same file, on a file in the
// system's temporary folder.
//
//   build/bench/talvor_bench --benchmark_filter=. [--benchmark_min_time=2]
//
// TALVOR_BENCH_MIB sets the file size (default 64).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/progress.h"
#include "protect/trap.h"

namespace talvor {
namespace {

std::int64_t BenchBytes() {
  const char* mib = std::getenv("TALVOR_BENCH_MIB");
  return (mib != nullptr ? std::atoll(mib) : 64) << 20;
}

// A file of pseudo-random bytes that lives as long as the process.
const std::string& SourceFile() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("talvor-bench-" + std::to_string(::getpid()) + ".bin"))
                              .string();
    std::ofstream out(p, std::ios::binary);
    std::string block(1 << 20, '\0');
    std::uint32_t x = 1;
    for (char& c : block) c = static_cast<char>((x = x * 1664525U + 1013904223U) >> 24);
    for (std::int64_t i = 0; i < BenchBytes() >> 20; ++i)
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    std::atexit([] {
      std::filesystem::remove(path);
      std::filesystem::remove(std::filesystem::path(path).replace_extension(".trp"));
      std::filesystem::remove(path + ".copy");
    });
    return p;
  }();
  return path;
}

// The yardstick: read and write in 1 MiB blocks.
void BM_BlockCopy(benchmark::State& state) {
  PosixFileSystem fs;
  auto buffer = std::make_unique<char[]>(1 << 20);
  for (auto _ : state) {
    File in = fs.OpenForReading(SourceFile());
    File out = fs.Create(SourceFile() + ".copy");
    while (const std::size_t n = in.Read(buffer.get(), 1 << 20)) out.Write(buffer.get(), n);
    out.Close();
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
}
BENCHMARK(BM_BlockCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// One byte at a time through the buffered file, as the routines' loops run.
void BM_ByteCopy(benchmark::State& state) {
  PosixFileSystem fs;
  for (auto _ : state) {
    File in = fs.OpenForReading(SourceFile());
    File out = fs.Create(SourceFile() + ".copy");
    for (int b = in.ReadByte(); b >= 0; b = in.ReadByte())
      out.WriteByte(static_cast<std::uint8_t>(b));
    out.Close();
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
}
BENCHMARK(BM_ByteCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncryptTrp(benchmark::State& state) {
  PosixFileSystem fs;
  Job job;
  for (auto _ : state) {
    benchmark::DoNotOptimize(EncryptTrp(fs, SourceFile(), "MY SECRET PHRASE", job));
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
}
BENCHMARK(BM_EncryptTrp)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with a progress display attached: its cost is one report per MiB.
void BM_EncryptTrpWithProgress(benchmark::State& state) {
  PosixFileSystem fs;
  std::uint64_t reports = 0;
  Job job([&](std::uint64_t, std::uint64_t) { ++reports; }, nullptr);
  for (auto _ : state) {
    benchmark::DoNotOptimize(EncryptTrp(fs, SourceFile(), "MY SECRET PHRASE", job));
  }
  state.SetBytesProcessed(state.iterations() * BenchBytes());
  state.counters["reports"] =
      static_cast<double>(reports) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EncryptTrpWithProgress)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace talvor
