#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace veltrano {

// What a row's step tells the row loop.
enum class RowStep {
    Next,     // go on with the next row
    EndCheck, // the rest would fail alike (a refused token, a spent quota)
};

// One row of a page-by-page check, split where the network is: the check
// builds the row's request on the GUI thread (reading the table, the token,
// the period) and hands back two parts,
// - exchange: sends the request(s) and keeps the answer; it may run on a
//   worker thread, several rows at once, so it touches nothing of the
//   window or the table;
// - apply: writes the answer into the row and the log, on the GUI thread,
//   in row order.
// The row loop (RowEngine) runs them one after the other, or several
// exchanges at a time within the service's limits.
struct RowWork {
    std::function<void()> exchange; // may be empty: nothing to send
    std::function<RowStep()> apply;

    // The usual shape: exchange() returns the answer that apply(answer) reads.
    template <typename Exchange, typename Apply> static RowWork of(Exchange exchange, Apply apply)
    {
        using Answer = std::invoke_result_t<Exchange &>;
        auto answer = std::make_shared<std::optional<Answer>>();
        return {[answer, exchange = std::move(exchange)]() mutable { answer->emplace(exchange()); },
                [answer, apply = std::move(apply)]() mutable { return apply(std::move(**answer)); }};
    }
};

} // namespace veltrano
