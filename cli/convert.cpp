#include "cli/convert.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>

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
}

class ResultPrinter : public RunnerListener {
public:
    explicit ResultPrinter(const CliOptions& options) : options_(options) {}

    void SetOutputs(std::map<int, std::string> outputs) { outputs_ = std::move(outputs); }

    // A row may be written more than once with the same text; it is one result.
    void RowStatus(int row, const std::string& text) override {
        auto& last = results_[row];
        if (last == text) return;
        last = text;
        ClearProgress();
        std::cout << text << '\t' << options_.files[row];
        if (options_.verbose) std::cout << '\t' << outputs_[row];
        std::cout << std::endl;
    }

    void StatusText(const std::string& text) override { status_ = text; }

    // Shown ahead of the file's result line: the reason for a failure
    // always, what was left behind when asked for.
    void TagsCopied(int row, const TagCopyReport& report) override {
        ClearProgress();
        if (options_.verbose)
            for (const std::string& field : report.dropped) std::cout << "dropped: " << field << '\n';
        if (!report.error.empty())
            std::cerr << "zelph-convert: " << options_.files[row] << ": tags not written: " << report.error
                      << '\n';
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

    bool AllDone() const {
        for (const auto& [row, output] : outputs_) {
            auto result = results_.find(row);
            if (result == results_.end() || result->second != kRowDone) return false;
        }
        return true;
    }

private:
    const CliOptions& options_;
    std::map<int, std::string> outputs_;  // row -> final target, for every planned row
    std::map<int, std::string> results_;
    std::string status_;
    bool progressShown_ = false;
};

std::map<int, std::string> FinalTargets(const JobPlanner& planner) {
    std::map<int, std::string> outputs;
    for (const Job& job : planner.jobQueue) outputs[job.fileIndex] = job.targetPath;
    return outputs;
}

}  // namespace

int RunConversion(const CliOptions& options, const std::string& targetId,
                  ConverterSettings& settings, EngineTable engines) {
    ResultPrinter printer(options);
    JobRunner runner(&settings, std::move(engines), printer);
    runner.options.copyTags = options.copyTags;
    runner.PlanJobs(targetId, options.files);
    printer.SetOutputs(FinalTargets(runner));

    if (!runner.Open()) {
        std::cerr << "No Jobs In Queue...\n";
        return 1;
    }
    CatchStopSignals();
    while (!runner.finished()) {
        if (g_stopSignal) {
            runner.CloseRequest();
            break;
        }
        runner.Tick();
        if (runner.finished()) break;
        runner.endSignal()->WaitFor(std::chrono::milliseconds(50));
        printer.ShowProgress(runner.progress());
    }
    printer.ClearProgress();
    if (g_stopSignal) return 128 + g_stopSignal;
    return printer.AllDone() ? 0 : 1;
}

}  // namespace zelph
