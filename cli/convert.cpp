#include "cli/convert.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>

#include "cli/fields.h"

namespace zelph {

namespace {

volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signal) { g_stopSignal = signal; }

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A file size limit is a full disk to the engines: the write fails with
    // EFBIG and the file fails with its reason, instead of the process dying.
    ::signal(SIGXFSZ, SIG_IGN);
    // A reader that stops reading (`| head -1`) ends the result lines, not
    // the batch: the writes fail with EPIPE and the run goes on to its end.
    ::signal(SIGPIPE, SIG_IGN);
}

class ResultPrinter : public RunnerListener {
public:
    ResultPrinter(const CliOptions& options, const BatchPlan& plan, bool countUpdates)
        : options_(options), countUpdates_(countUpdates) {
        for (const PlannedFile& file : plan.files) outputs_[file.row] = file.finalTarget;
    }

    // Files the plan left out (unknown, not converted, or an output to skip).
    void PrintSkipped() {
        for (uint32_t row = 0; row < options_.files.size(); ++row)
            if (!outputs_.contains(row)) std::cout << "Skipped\t" << Field(options_.files[row]) << std::endl;
    }

    void RowStatus(uint32_t row, const std::string& text, const std::string& reason) override {
        results_[row] = text;
        ClearProgress();
        std::cout << text << '\t' << Field(options_.files[row]);
        if (!reason.empty()) std::cout << '\t' << Field(reason);
        if (options_.verbose) std::cout << '\t' << Field(outputs_[row]);
        std::cout << std::endl;
    }

    void SourceKept(uint32_t row, const std::string& reason) override {
        sourceKept_ = true;
        ClearProgress();
        std::cerr << "zelph-convert: " << Field(options_.files[row]) << " not deleted: " << Field(reason) << '\n';
    }

    void StatusText(const std::string& text) override { status_ = text; }

    void OutputRemoved(const std::string& path) override {
        ++removed_;
        ClearProgress();
        std::cout << "Removed\t" << Field(path) << std::endl;
    }

    void Notice(const std::string& text) override {
        ClearProgress();
        std::cerr << "zelph-convert: " << Field(text) << '\n';
    }

    bool removedAny() const { return removed_ > 0; }

    // Ahead of the file's result line, when asked for: the tag fields its
    // output could not take. A failed tag write is the result's reason.
    void TagsCopied(uint32_t, const TagCopyReport& report) override {
        if (!options_.verbose) return;
        ClearProgress();
        for (const std::string& field : report.dropped) std::cout << "dropped: " << Field(field) << '\n';
    }

    void ShowProgress(int position) {
        if (options_.quiet || !::isatty(STDERR_FILENO)) return;
        std::fprintf(stderr, "\r%s %3d%%", status_.c_str(), position);
        std::fflush(stderr);
        progressShown_ = true;
    }

    void ClearProgress() {
        if (!progressShown_) return;
        std::fprintf(stderr, "\r\033[K");
        progressShown_ = false;
    }

    // "done N, skipped N, failed N": a file not planned is skipped, a planned
    // one that did not end "Done" or up to date (an error, or cancelled)
    // failed. Re-runs also count the outputs up to date and those removed.
    std::string Summary() const {
        const auto count = [this](const char* outcome) {
            return static_cast<std::size_t>(std::count_if(results_.begin(), results_.end(),
                                                          [&](const auto& result) { return result.second == outcome; }));
        };
        const std::size_t done = count(kRowDone), upToDate = count(kRowSkipped);
        const std::size_t skipped = options_.files.size() - outputs_.size();
        return "done " + std::to_string(done) +
               (countUpdates_ ? ", up to date " + std::to_string(upToDate) : std::string()) + ", skipped " +
               std::to_string(skipped) + ", failed " + std::to_string(outputs_.size() - done - upToDate) +
               (countUpdates_ ? ", removed " + std::to_string(removed_) : std::string());
    }

    // Every planned file done or up to date, and every source to be deleted gone.
    bool AllDone() const {
        if (sourceKept_) return false;
        for (const auto& [row, output] : outputs_) {
            auto result = results_.find(row);
            if (result == results_.end() || (result->second != kRowDone && result->second != kRowSkipped)) return false;
        }
        return true;
    }

private:
    const CliOptions& options_;
    std::map<uint32_t, std::string> outputs_;  // row -> final target, for every planned row
    std::map<uint32_t, std::string> results_;
    std::string status_;
    bool progressShown_ = false;
    bool sourceKept_ = false;
    bool countUpdates_;
    std::size_t removed_ = 0;
};

}  // namespace

int RunConversion(const CliOptions& options, BatchPlan plan, const RunOptions& runOptions, EngineTable engines,
                  bool countUpdates) {
    CatchStopSignals();
    ResultPrinter printer(options, plan, countUpdates);
    JobRunner runner(std::move(engines), printer);
    printer.PrintSkipped();
    if (!runner.Open(std::move(plan), runOptions)) {
        std::cerr << "No Jobs In Queue...\n" << printer.Summary() << '\n';
        return printer.removedAny() ? 0 : 1;
    }
    bool stopping = false;
    while (!runner.finished()) {
        if (g_stopSignal && !stopping) {
            runner.CloseRequest();
            stopping = true;
        }
        runner.Tick();
        if (runner.finished()) break;
        runner.endSignal().WaitFor(std::chrono::milliseconds(50));
        printer.ShowProgress(runner.progress());
    }
    printer.ClearProgress();
    std::cerr << printer.Summary() << '\n';
    if (g_stopSignal) return 128 + g_stopSignal;
    return printer.AllDone() ? 0 : 1;
}

}  // namespace zelph
