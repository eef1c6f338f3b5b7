// The analyser's cost. Run: build/bench/quelt_decode_bench
// - DecodeTypicalFrames: frames a second through the decoder and its text, for the traffic
//   a poll cycle makes (a read, its answer with events, a link reset and its ACK, a
//   confirm). Goal: at least 200,000 a second on one core.
// - RecordBothLines9600: the line tap and the pcapng recording for a minute of both lines
//   full at 9600 bit/s (960 octets a second each way, in the pieces the poll thread
//   reads); its counter "core_percent" is the share of one core. Goal: below 1 %.
// - NoiseFlood: a line that sends nothing but noise at 115200 bit/s for ten minutes while
//   the consumer is held up: what the tap keeps stays within its bound ("queued_max").
#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "decode/Frame.h"
#include "dnp3/LinkFrame.h"
#include "record/LineTap.h"
#include "record/Recorder.h"

namespace {

std::vector<std::uint8_t> Frame(std::uint8_t byCtrl, int nDest, int nSrc, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> frame(dl::kMaxFrameSize);
    frame.resize(static_cast<std::size_t>(
        BuildLinkFrame(byCtrl, nDest, nSrc, data.data(), static_cast<int>(data.size()), frame.data())));
    return frame;
}

struct Typical {
    std::vector<std::uint8_t> octets;
    qdec::Direction dir;
};

// One poll cycle's frames: 5 frames, 2 of them with application data.
std::vector<Typical> TypicalFrames()
{
    std::vector<std::uint8_t> response = {0xC0, 0xE3, 0x81, 0x00, 0x00, 0x02, 0x02, 0x28, 0x03, 0x00};
    for (int i = 0; i < 3; ++i)
        response.insert(response.end(), {static_cast<std::uint8_t>(i * 7), 0x00, 0x81, 0x40, 0x6C, 0x52, 0x00, 0x00, 0x00});
    response.insert(response.end(), {0x20, 0x02, 0x28, 0x02, 0x00, 0x03, 0x00, 0x01, 0x10, 0x00, 0x09, 0x00, 0x01, 0x20, 0x00});
    return {
        {Frame(0xC0, 54, 3246, {}), qdec::Direction::Sent},
        {Frame(0x00, 3246, 54, {}), qdec::Direction::Received},
        {Frame(0xC4, 54, 3246, {0xC1, 0xC1, 0x01, 0x3C, 0x02, 0x06, 0x3C, 0x03, 0x06, 0x3C, 0x04, 0x06}), qdec::Direction::Sent},
        {Frame(0x44, 3246, 54, response), qdec::Direction::Received},
        {Frame(0xC4, 54, 3246, {0xC2, 0xC3, 0x00}), qdec::Direction::Sent},
    };
}

void DecodeTypicalFrames(benchmark::State& state)
{
    const std::vector<Typical> frames = TypicalFrames();
    qdec::CStreamDecoder decoder;
    std::int64_t t = 1'765'432'100'000'000;
    std::size_t nText = 0;
    for (auto _ : state) {
        for (const Typical& f : frames) {
            qdec::LineRecord r;
            r.dir = f.dir;
            r.tWallUs = r.tMonoUs = (t += 1000);
            r.Octets = f.octets;
            const qdec::FrameDescription d = decoder.Describe(std::move(r));
            nText += qdec::DescriptionText(d).size();
        }
    }
    benchmark::DoNotOptimize(nText);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * frames.size()));
}
BENCHMARK(DecodeTypicalFrames);

void RecordBothLines9600(benchmark::State& state)
{
    const std::vector<Typical> frames = TypicalFrames();
    const std::string path = (std::filesystem::temp_directory_path() / "quelt-record-bench.pcapng").string();
    constexpr int kSeconds = 60;
    constexpr int kOctetsPerSecond = 960;  // each way
    constexpr int kPiece = 24;             // what the poll thread reads at a time at 9600 bit/s
    double dCpuSeconds = 0;
    for (auto _ : state) {
        const std::clock_t tStart = std::clock();
        CLineTap tap;
        CPcapngRecorder recorder;
        RecordingOptions options;
        options.Path = path;
        options.Names[1] = "/dev/ttyS1";
        std::string reason;
        if (!recorder.Open(options, reason)) {
            state.SkipWithError(reason.c_str());
            return;
        }
        tap.AddSink(&recorder);
        std::int64_t t = 1'000'000;
        for (int nSecond = 0; nSecond < kSeconds; ++nSecond) {
            for (const qdec::Direction dir : {qdec::Direction::Sent, qdec::Direction::Received}) {
                int nLeft = kOctetsPerSecond;
                for (std::size_t i = 0; nLeft > 0; i = (i + 1) % frames.size()) {
                    const std::vector<std::uint8_t>& octets = frames[i].octets;
                    for (std::size_t nAt = 0; nAt < octets.size() && nLeft > 0; nAt += kPiece) {
                        const int n = static_cast<int>(std::min<std::size_t>(kPiece, octets.size() - nAt));
                        tap.Octets(1, dir, octets.data() + nAt, n, t, t, t);
                        nLeft -= n;
                        t += 25'000;
                    }
                }
            }
            tap.Pump(t);  // the consumer wakes for what came
            recorder.Flush();  // once a second
        }
        tap.Pump(t, true);
        recorder.Close();
        dCpuSeconds += static_cast<double>(std::clock() - tStart) / CLOCKS_PER_SEC;
    }
    std::filesystem::remove(path);
    state.counters["core_percent"] = 100.0 * dCpuSeconds / static_cast<double>(state.iterations()) / kSeconds;
}
BENCHMARK(RecordBothLines9600)->Unit(benchmark::kMillisecond);

void NoiseFlood(benchmark::State& state)
{
    constexpr int kOctets = 11'520 * 600;  // ten minutes at 115200 bit/s
    std::vector<std::uint8_t> noise(64, 0xAA);
    std::uint64_t nLost = 0;
    for (auto _ : state) {
        CLineTap tap;
        for (int i = 0; i < kOctets; i += 64)
            tap.Octets(0, qdec::Direction::Received, noise.data(), 64, i, i, i);  // the consumer never comes
        nLost = tap.LostOctets();
        tap.Pump(0, true);
    }
    state.counters["queued_max"] = static_cast<double>(CLineTap::kDefaultCapacity);
    state.counters["lost"] = static_cast<double>(nLost);
}
BENCHMARK(NoiseFlood)->Unit(benchmark::kMillisecond);

}  // namespace
