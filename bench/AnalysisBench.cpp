// The analysis window at its size limit: 100,000 frames kept. Run: build/bench/quelt_analysis_bench
// - FilterAt100k: a new filter over all of them (a text search, then faults only) with the
//   list redrawn. Goal: below 50 ms.
// - UpdateAt100k: one timer tick's worth of new frames arriving (ten: the oldest ten go),
//   the list updated, following the end and redrawn. Goal: below 50 ms.
// - AnalyseFrame: one record decoded, paired and summarised on the tap's thread.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>

#include "dnp3/LinkFrame.h"
#include "monitor/AnalysedFrames.h"
#include "monitor/FrameTableModel.h"

namespace {

std::vector<qdec::LineRecord> Traffic()
{
    const auto frame = [](std::uint8_t byCtrl, int nDest, int nSrc, std::vector<std::uint8_t> data, qdec::Direction dir) {
        qdec::LineRecord r;
        r.dir = dir;
        r.Octets.resize(dl::kMaxFrameSize);
        r.Octets.resize(static_cast<std::size_t>(
            BuildLinkFrame(byCtrl, nDest, nSrc, data.data(), static_cast<int>(data.size()), r.Octets.data())));
        return r;
    };
    std::vector<std::uint8_t> response = {0xC0, 0xC1, 0x81, 0x00, 0x00, 0x20, 0x02, 0x28, 0x02, 0x00,
                                          0x03, 0x00, 0x01, 0x10, 0x00, 0x09, 0x00, 0x01, 0x20, 0x00};
    return {frame(0xC4, 54, 3246, {0xC0, 0xC1, 0x01, 0x3C, 0x02, 0x06, 0x3C, 0x03, 0x06}, qdec::Direction::Sent),
            frame(0x44, 3246, 54, response, qdec::Direction::Received),
            frame(0xC4, 54, 3246, {0xC1, 0xC1, 0x00}, qdec::Direction::Sent)};
}

// A store holding kMaxFrames of ordinary traffic.
void Fill(CAnalysedFrames& store)
{
    const std::vector<qdec::LineRecord> traffic = Traffic();
    std::int64_t t = 1'765'432'100'000'000;
    for (std::size_t i = 0; i < CAnalysedFrames::kMaxFrames; ++i) {
        qdec::LineRecord r = traffic[i % traffic.size()];
        r.tWallUs = r.tMonoUs = r.tMonoEndUs = (t += 20'000);
        store.OnRecord(r);
    }
    store.TakeNew();
}

void FilterAt100k(benchmark::State& state)
{
    CAnalysedFrames store;
    Fill(store);
    CFrameTableModel model(store, nullptr);
    QTableView view;
    view.setModel(&model);
    view.resize(1000, 500);
    view.show();
    bool bText = false;
    for (auto _ : state) {
        FrameFilter filter;
        bText = !bText;
        if (bText)
            filter.Text = "32.2";
        else
            filter.bFaultsOnly = true;
        model.SetFilter(filter);
        view.scrollToBottom();
        view.viewport()->repaint();
    }
}
BENCHMARK(FilterAt100k)->Unit(benchmark::kMillisecond);

void UpdateAt100k(benchmark::State& state)
{
    CAnalysedFrames store;
    Fill(store);
    CFrameTableModel model(store, nullptr);
    model.SetFilter({});
    QTableView view;
    view.setModel(&model);
    view.resize(1000, 500);
    view.show();
    const std::vector<qdec::LineRecord> traffic = Traffic();
    std::int64_t t = 1'800'000'000'000'000;
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) {
            qdec::LineRecord r = traffic[static_cast<std::size_t>(i) % traffic.size()];
            r.tWallUs = r.tMonoUs = r.tMonoEndUs = (t += 20'000);
            store.OnRecord(r);
        }
        model.Update(store.TakeNew());
        view.scrollToBottom();
        view.viewport()->repaint();
    }
}
BENCHMARK(UpdateAt100k)->Unit(benchmark::kMillisecond);

void AnalyseFrame(benchmark::State& state)
{
    const std::vector<qdec::LineRecord> traffic = Traffic();
    CFrameAnalyser analyser;
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(analyser.Analyse(traffic[i++ % traffic.size()]));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(AnalyseFrame);

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
