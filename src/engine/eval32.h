#pragma once
// Expression evaluator of the engine.
//
// A text is an expression, optionally with a constant block "[name = expr;
// ...]" at its start or at its end. The expression may use the point variable
// x (EvalArray1 only), pi, the constants defined so far, + - * / ^, unary
// minus, parentheses and the functions sin cos tan asin acos atan sinh cosh
// tanh exp log ln log10 sqrt abs sign int floor ceil min max pow rnd. Names
// are lower case. rnd(p) draws uniform noise in [-1, 1], rnd(p, a) in
// [-a, a], a new draw at every call; p is the position the Create dialog
// inserts, so that the call is made at every point, and its value is not used
// (the draws follow EvalInitRandom's seed). The items of a block are
// separated by ";" or line ends; each may use the constants defined before
// it, and they stay defined for later texts until ClearConstant.
//
// Results are 0 or a message number: 18 a bad constant block, 100 syntax
// (also an unknown name), 101 a function name without "(", 102 unbalanced
// parentheses, 103 a wrong number of arguments, 104 a division by zero (at
// any one point), 105 no destination buffer, 106 an internal failure of the
// parser, 107 memory exhausted, 108 an empty expression, 110 a text longer
// than kMaxTextLength, 111 unbalanced "[ ]". A failed call changes nothing:
// no word is written, no constant defined, the random draws are taken back.
//
// Values that are not numbers (sqrt(-1)) give the centre level 0, infinite
// ones (log(0)) the end of the scale, as W_ToWord makes every value a word.

#include "engine/wavelb32.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velda::engine {

constexpr size_t kMaxTextLength = 20000;

// Holds the constants and the random generator; the engine owns one for the
// entry points below, tests and tools may make their own.
class Evaluator {
public:
    Evaluator();
    ~Evaluator();
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // Fills the run [first, first + count) of buffer h (clipped to it), x
    // being each point's number. `position` receives the place in the text
    // where a failure was found, -1 when none.
    int32_t evalArray(double first, double count, WaveHandle h, int32_t& position,
                      std::string_view text);
    // Evaluates a text without x into `value`.
    int32_t evalOne(std::string_view text, double& value, int32_t& position);
    void clearConstants();
    void initRandom(int32_t seed);
    // Block evaluation over threads (on by default; 0 threads: the
    // machine's number) or one point at a time. Both give the same words.
    void setBlockEvaluation(bool on, int threads = 0);
    std::optional<double> constant(const std::string& name) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

Evaluator& defaultEvaluator();

} // namespace velda::engine

// Entry points on the engine's evaluator.
int32_t EvalArray1(double first, double count, WaveHandle h, int32_t& position, const char* text);
int32_t EvalOne(const char* text, double& value, int32_t& position);
void ClearConstant();
void EvalInitRandom(int32_t seed);
