#pragma once
// Evaluates a compiled expression over a run of points a block at a time.
//
// The parser compiles the text once into a postfix program; evaluating it
// point by point pays the dispatch of every instruction at every point.
// Here each instruction runs over a block of points in one tight loop (the
// arithmetic vectorises), and blocks are shared out among threads. Every
// point is computed with the same operations in the same order as the
// parser's own evaluation, so the results are the same to the last bit.
//
// The noise function draws from one sequence in point order, call after call
// within a point; the draws are taken from the sequence before the run and
// handed to each point by its number, so the values do not depend on the
// number of threads and equal those of a point-by-point run.

#include <cstdint>
#include <memory>
#include <vector>

namespace mu {
class ParserBase;
}

namespace velda::engine {

class RandomSource;

class BlockProgram {
public:
    // The noise function as the parser knows it: its entry and user data, and
    // what it returns for a draw u in [0, 1) and its arguments.
    struct Noise {
        const void* function = nullptr;
        const void* userData = nullptr;
    };

    // Reads the compiled program of `parser` (already evaluated once, so it
    // is compiled), whose point variable is `x`. Empty when the program uses
    // anything this evaluator does not handle; the caller then evaluates
    // point by point.
    static std::unique_ptr<BlockProgram> compile(const mu::ParserBase& parser, const double* x,
                                                 Noise noise);
    ~BlockProgram();

    // Number of noise calls made at each point.
    int noiseCalls() const;

    // values[i] = f(first + i) for i < count. `draws` holds noiseCalls() * count
    // uniform draws in point order. `threads` 0 takes the machine's number.
    // Returns false when a floating-point flag (division by zero, invalid,
    // overflow) was raised at any point, as the caller's division check needs.
    bool run(int64_t first, int64_t count, const double* draws, double* values, int threads) const;

    struct Step;

private:
    BlockProgram() = default;
    void runBlock(int64_t first, int n, int64_t pointIndex, const double* draws, double* out,
                  double* stack) const;

    std::vector<Step> steps_;
    int stackSize_ = 0;
    int noiseCalls_ = 0;
};

} // namespace velda::engine
