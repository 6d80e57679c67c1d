#pragma once

// A chain of stage groups run over a block of samples, in place, as a software pipeline.
//
// Each group is a function of one value: a stage, a few stages in series, or one half of a
// stage; group g takes the output of group g − 1. Run one sample at a time through the whole
// chain, the stages' feedback loops (a division, a table read, a state update) follow one
// another and the processor waits on each in turn. In step s the pipeline runs group g on
// sample s − g instead: the groups of one step work on different samples, so their loops
// overlap. Every group still sees its samples in order and with the same values, so the
// results are those of the plain chain; only the interleaving of the groups' side effects
// (display values) differs.
//
// Each step runs its groups from the last to the first. A stage split into two groups (the
// second updating a state the first reads) therefore has its update for sample s − g − 1
// done before its first half takes sample s − g.

#include <cstddef>
#include <tuple>
#include <utility>

namespace brimtone {

namespace detail {

// Group g on sample step − g, the groups from the last to the first. Near the ends of the
// block (Checked) some of those samples do not exist and their groups are skipped.
template <bool Checked, class V, class Groups, std::size_t... Reversed>
inline void runStep(V* samples, int step, int count, const Groups& groups, std::index_sequence<Reversed...>)
{
    constexpr std::size_t last = sizeof...(Reversed) - 1;
    const auto run = [&](int index, const auto& group) {
        if (!Checked || static_cast<unsigned>(index) < static_cast<unsigned>(count))
            samples[index] = group(samples[index]);
    };
    (run(step - static_cast<int>(last - Reversed), std::get<last - Reversed>(groups)), ...);
}

} // namespace detail

template <class V, class... Groups>
inline void runPipelined(V* samples, int count, const Groups&... groups)
{
    constexpr int depth = static_cast<int>(sizeof...(Groups));
    const auto chain = std::tie(groups...);
    constexpr auto order = std::index_sequence_for<Groups...>{};
    const int steps = count + depth - 1;
    for (int step = 0; step < steps;) {
        if (step >= depth - 1 && step < count) {
            // The pipeline is full: every group has its sample.
            for (; step < count; ++step)
                detail::runStep<false>(samples, step, count, chain, order);
        } else {
            // Filling or draining it (or a block shorter than the pipeline).
            detail::runStep<true>(samples, step, count, chain, order);
            ++step;
        }
    }
}

} // namespace brimtone
