// Throughput of every conversion-table cell, run the way a user runs it
// (SetInput, SetOutput, Convert: the line-ending pass included), beside
// glibc's iconv(3) on the same bytes. Rates are of input bytes.
//
//   mojiro/<source>><target>/<corpus>/NL<code>
//   iconv/<source>><target>/<corpus>          (no line-ending pass)
//   copy/<corpus>         a fresh buffer and memcpy of the Shift_JIS text:
//                         what memory alone allows, the ceiling of any cell
//   stream/<source>><target>/<corpus>/NL1
//                         the same text fed in 1 MiB pieces to CTextStream
//   threads/<source>><target>/<corpus>/T<n>
//                         CParallelTextStream on n threads (wall time), n = 1
//                         up to the cores the machine has
//
// bench/ratio.py turns --benchmark_format=json output into a table.
//
// Buffers (the engine's and the iconv rows' alike) come from the program's
// large-block allocator; --mojiro_allocator=malloc measures plain malloc.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "../app/large_block_buffers.h"
#include "corpus.h"
#include "iconv_converter.h"
#include "parallel_text_stream.h"
#include "text_converter.h"
#include "text_stream.h"

#include <thread>

namespace {

constexpr std::int64_t kCorpusBytes = 10 << 20;
// iconv's names for the five charsets, indexed by CharsetId.
constexpr const char* const kIconvNames[Charset::Count] = {"CP932", "EUC-JP", "ISO-2022-JP", "UTF-16LE", "UTF-8"};
constexpr NLCode kNLCodes[] = {NewLine::CrLf, NewLine::Lf};
constexpr const char* kDefaultMinTime = "--benchmark_min_time=0.2";

// Every corpus in every source charset, derived from its Shift_JIS form by
// the engine itself (line endings kept), so each cell reads what the
// engine would have written.
class Inputs {
public:
    Inputs()
    {
        for (int k = 0; k < corpus::kKindCount; ++k) {
            auto& row = m_buffers[static_cast<std::size_t>(k)];
            row[Charset::ShiftJis] = corpus::MakeShiftJis(static_cast<corpus::Kind>(k), kCorpusBytes);
            for (CharsetId cs = Charset::EucJp; cs < Charset::Count; ++cs) {
                const CByteBuffer& sjis = row[Charset::ShiftJis];
                CTextConverter converter;
                converter.SetInput(sjis.Data(), sjis.Size(), Charset::ShiftJis);
                converter.SetOutput(cs, NewLine::CrLf);
                converter.Convert(&row[static_cast<std::size_t>(cs)]);
            }
        }
    }

    const CByteBuffer& Get(int kind, CharsetId cs) const
    {
        return m_buffers[static_cast<std::size_t>(kind)][static_cast<std::size_t>(cs)];
    }

private:
    std::array<std::array<CByteBuffer, Charset::Count>, corpus::kKindCount> m_buffers;
};

const Inputs* g_pInputs = nullptr;

void MojiroCell(benchmark::State& state, int kind, CharsetId source, CharsetId target, NLCode nl)
{
    const CByteBuffer& input = g_pInputs->Get(kind, source);
    std::int64_t nOutput = 0;
    for (auto _ : state) {
        CTextConverter converter;
        converter.SetInput(input.Data(), input.Size(), source);
        converter.SetOutput(target, nl);
        CByteBuffer output;
        if (!converter.Convert(&output)) {
            state.SkipWithError("Convert returned false");
            return;
        }
        nOutput = output.Size();
        benchmark::DoNotOptimize(output.Data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * input.Size());
    state.counters["out/in"] = static_cast<double>(nOutput) / static_cast<double>(input.Size());
}

void IconvCell(benchmark::State& state, int kind, CharsetId source, CharsetId target)
{
    const CByteBuffer& input = g_pInputs->Get(kind, source);
    CIconvConverter iconv(kIconvNames[source], kIconvNames[target]);
    CByteBuffer trial;
    // A pair iconv cannot finish on this text is reported, not timed.
    if (!iconv.IsOpen() || !iconv.Convert(input.Data(), input.Size(), &trial)) {
        state.SkipWithError(("iconv: " + iconv.Error()).c_str());
        return;
    }
    std::int64_t nOutput = trial.Size();
    trial.Reset();
    for (auto _ : state) {
        CByteBuffer output;
        if (!iconv.Convert(input.Data(), input.Size(), &output)) {
            state.SkipWithError(("iconv: " + iconv.Error()).c_str());
            return;
        }
        nOutput = output.Size();
        benchmark::DoNotOptimize(output.Data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * input.Size());
    state.counters["out/in"] = static_cast<double>(nOutput) / static_cast<double>(input.Size());
    state.SetLabel("no line-ending pass");
}

// The same allocation and the same first touch of the output as a cell,
// with nothing between reading and writing.
void CopyCell(benchmark::State& state, int kind)
{
    const CByteBuffer& input = g_pInputs->Get(kind, Charset::ShiftJis);
    for (auto _ : state) {
        CByteBuffer output = CByteBuffer::Allocate(input.Size());
        std::memcpy(output.Data(), input.Data(), static_cast<std::size_t>(input.Size()));
        benchmark::DoNotOptimize(output.Data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * input.Size());
}

// Counts what a stream hands on; the bytes were written by its last stage.
class CCountingSink : public IByteSink {
public:
    void Put(const std::uint8_t* p, std::int64_t n) override
    {
        benchmark::DoNotOptimize(p);
        m_nBytes += n;
    }
    std::int64_t m_nBytes = 0;
};

constexpr std::int64_t kPieceBytes = 1 << 20;

// The corpus in 1 MiB pieces through a stream made for each iteration;
// nThreads 0: the one-thread CTextStream.
void StreamCell(benchmark::State& state, int kind, CharsetId source, CharsetId target, int nThreads)
{
    const CByteBuffer& input = g_pInputs->Get(kind, source);
    std::int64_t nOutput = 0;
    const auto feed = [&input](auto& stream) {
        for (std::int64_t at = 0; at < input.Size(); at += kPieceBytes)
            stream.Write(input.Data() + at, std::min(kPieceBytes, input.Size() - at));
        stream.Finish();
    };
    for (auto _ : state) {
        CCountingSink sink;
        if (nThreads == 0) {
            CTextStream stream(source, target, NewLine::Lf, "_", sink);
            feed(stream);
        } else {
            CParallelTextStream stream(source, target, NewLine::Lf, "_", sink, nThreads);
            feed(stream);
        }
        nOutput = sink.m_nBytes;
    }
    state.SetBytesProcessed(state.iterations() * input.Size());
    state.counters["out/in"] = static_cast<double>(nOutput) / static_cast<double>(input.Size());
}

std::string CellName(CharsetId source, CharsetId target)
{
    return std::string(Charset::kShortNames[source]) + ">" + Charset::kShortNames[target];
}

void RegisterAll()
{
    for (int kind = 0; kind < corpus::kKindCount; ++kind) {
        const std::string corpusName = corpus::kKindNames[kind];
        benchmark::RegisterBenchmark(("copy/" + corpusName).c_str(), CopyCell, kind)->Unit(benchmark::kMillisecond);
        for (CharsetId source = 0; source < Charset::Count; ++source) {
            for (CharsetId target = 0; target < Charset::Count; ++target) {
                const std::string cell = CellName(source, target) + "/" + corpusName;
                for (const NLCode nl : kNLCodes) {
                    const std::string name = "mojiro/" + cell + "/NL" + std::to_string(nl);
                    benchmark::RegisterBenchmark(name.c_str(), MojiroCell, kind, source, target, nl)
                        ->Unit(benchmark::kMillisecond);
                }
                if (kind == 0) {
                    benchmark::RegisterBenchmark(("stream/" + cell + "/NL1").c_str(), StreamCell, kind, source,
                                                 target, 0)
                        ->Unit(benchmark::kMillisecond);
                    const int nCores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
                    for (int t = 1; t <= nCores; ++t)
                        benchmark::RegisterBenchmark(("threads/" + cell + "/T" + std::to_string(t)).c_str(),
                                                     StreamCell, kind, source, target, t)
                            ->Unit(benchmark::kMillisecond)
                            ->UseRealTime();
                }
                // iconv's same-charset "conversion" is a full decode and
                // re-encode, not the copy the engine does: nothing to compare.
                if (source != target)
                    benchmark::RegisterBenchmark(("iconv/" + cell).c_str(), IconvCell, kind, source, target)
                        ->Unit(benchmark::kMillisecond);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args;
    bool bMinTimeGiven = false;
    std::string allocator = "large";
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg.starts_with("--mojiro_allocator=")) {
            allocator = arg.substr(arg.find('=') + 1);
            continue;
        }
        bMinTimeGiven = bMinTimeGiven || arg.starts_with("--benchmark_min_time");
        args.push_back(argv[i]);
    }
    if (allocator == "large") {
        InstallLargeBlockAllocator();
    } else if (allocator != "malloc") {
        std::fprintf(stderr, "--mojiro_allocator: large or malloc, not %s\n", allocator.c_str());
        return 1;
    }
    std::string minTime = kDefaultMinTime;
    if (!bMinTimeGiven)
        args.insert(args.begin() + 1, minTime.data());
    int nArgs = static_cast<int>(args.size());
    benchmark::Initialize(&nArgs, args.data());
    if (benchmark::ReportUnrecognizedArguments(nArgs, args.data()))
        return 1;

    const Inputs inputs;
    g_pInputs = &inputs;
    for (int kind = 0; kind < corpus::kKindCount; ++kind) {
        std::string sizes;
        for (CharsetId cs = 0; cs < Charset::Count; ++cs)
            sizes += std::string(cs ? " " : "") + Charset::kShortNames[cs] + "=" +
                     std::to_string(inputs.Get(kind, cs).Size());
        benchmark::AddCustomContext(std::string("corpus_") + corpus::kKindNames[kind] + "_bytes", sizes);
    }
    benchmark::AddCustomContext("iconv_rows", "glibc iconv(3), no line-ending pass");
    benchmark::AddCustomContext("buffer_allocator", allocator);

    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
