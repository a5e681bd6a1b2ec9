#pragma once

// What the check benchmarks share: silent stand-ins for the prompts, the
// progress bar and the window's events, and the measure of a check against
// the bare exchanges it makes.
//
// The ratio is taken with one bare exchange beside each row of the check
// (in place of the window's events), so both meet the same machine, the
// same simulator and the same state of the loopback ports at the same
// moment; measured one after the other, a busy machine or 50 000 sockets in
// TIME_WAIT left by the first run would decide the figure.

#include "app/ProgressReporter.h"
#include "app/UiPorts.h"
#include "net/ServiceExchange.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

namespace benchsupport {

using Clock = std::chrono::steady_clock;

class SilentPrompt final : public veltrano::MessagePrompt {
public:
    void show(Icon, const QString &, const QString &) override {}
    bool ask(const QString &, const QString &) override { return false; }
};

class NoProgress final : public veltrano::ProgressReporter {
public:
    void setMaximum(int) override {}
    void setPosition(int) override {}
};

class NoEvents final : public veltrano::EventPump {
public:
    void processPendingEvents() override {}
    void keepPainting() override {}
};

// Stands in for the window's events: each time the check hands them a turn
// (once per row), one bare exchange of the same kind is made and timed.
class BareExchangeBesideEachRow final : public veltrano::EventPump {
public:
    explicit BareExchangeBesideEachRow(std::function<veltrano::ExchangeResult()> exchange)
        : m_exchange(std::move(exchange))
    {
    }
    void processPendingEvents() override
    {
        const auto start = Clock::now();
        const veltrano::ExchangeResult answer = m_exchange();
        bareSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        failures += answer.status == 200 ? 0 : 1;
    }
    void keepPainting() override {}

    double bareSeconds = 0;
    int failures = 0;

private:
    std::function<veltrano::ExchangeResult()> m_exchange;
};

// Sums the runs of a check beside its bare exchanges and reports
// check_rows_per_s, bare_rows_per_s and their ratio (bare / check: the
// share of the check's own time that is the exchanges).
class CheckRatio final {
public:
    explicit CheckRatio(int rows) : m_rows(rows) {}

    // One run: its whole wall time and the bare exchanges' share of it.
    // Returns the check's own time, for State::SetIterationTime.
    double add(double wholeSeconds, double bareSeconds)
    {
        m_checkSeconds += wholeSeconds - bareSeconds;
        m_bareSeconds += bareSeconds;
        return wholeSeconds - bareSeconds;
    }

    // Runs the check once beside its bare exchanges and gives the
    // iteration the check's own time.
    void timeRun(benchmark::State &state, const BareExchangeBesideEachRow &events,
                 const std::function<void()> &runCheck)
    {
        const auto started = Clock::now();
        runCheck();
        state.SetIterationTime(add(std::chrono::duration<double>(Clock::now() - started).count(), events.bareSeconds));
    }

    void report(benchmark::State &state) const
    {
        if (m_checkSeconds > 0 && m_bareSeconds > 0) {
            const double runs = double(state.iterations());
            state.counters["check_rows_per_s"] = m_rows * runs / m_checkSeconds;
            state.counters["bare_rows_per_s"] = m_rows * runs / m_bareSeconds;
            state.counters["ratio"] = m_bareSeconds / m_checkSeconds;
        }
        state.counters["rows"] = m_rows;
    }

private:
    int m_rows;
    double m_checkSeconds = 0;
    double m_bareSeconds = 0;
};

} // namespace benchsupport
