#include "engine/eval32.h"

#include "engine/DataWord.h"
#include "engine/RandomSource.h"
#include "engine/eval32_block.h"

#include <muParser.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <map>
#include <new>
#include <numbers>
#include <vector>

namespace velda::engine {

namespace {

// Message numbers of the evaluator.
enum : int32_t {
    kOk = 0,
    kBadConstant = 18,
    kSyntax = 100,
    kNoParenthesis = 101,
    kUnbalanced = 102,
    kArgumentCount = 103,
    kDivideByZero = 104,
    kNoBuffer = 105,
    kCompile = 106,
    kNoMemory = 107,
    kEmpty = 108,
    kTooLong = 110,
    kUnbalancedBlock = 111,
};

constexpr const char* kFunctionNames[] = {
    "sin",   "cos",  "tan", "asin", "acos", "atan",  "sinh", "cosh", "tanh", "exp", "log", "ln",
    "log10", "sqrt", "abs", "sign", "int",  "floor", "ceil", "min",  "max",  "pow", "rnd"};

bool isFunctionName(std::string_view name) {
    return std::find(std::begin(kFunctionNames), std::end(kFunctionNames), name) !=
           std::end(kFunctionNames);
}

bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return isLower(c) || (c >= 'A' && c <= 'Z');
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text as the parser takes it: a function name may stand apart from
// its "(" ("sin (x)"), which the parser refuses, so the blanks between them
// move in front of the name; every other character keeps its place, and so
// does a failure's position.
std::string forParser(std::string_view e) {
    std::string out(e);
    for (size_t i = 0; i < out.size();) {
        if (!isLetter(out[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < out.size() && (isLetter(out[j]) || isDigit(out[j]) || out[j] == '_'))
            ++j;
        size_t k = j;
        while (k < out.size() && isBlank(out[k]))
            ++k;
        if (k > j && k < out.size() && out[k] == '(' &&
            isFunctionName(std::string_view(out).substr(i, j - i)))
            std::rotate(out.begin() + static_cast<std::ptrdiff_t>(i),
                        out.begin() + static_cast<std::ptrdiff_t>(j),
                        out.begin() + static_cast<std::ptrdiff_t>(k));
        i = k;
    }
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A failure with its place in the text (-1 when it has none).
struct Failure {
    int32_t code = kOk;
    int32_t position = -1;
};

int32_t codeOf(const mu::ParserError& e) {
    switch (e.GetCode()) {
    case mu::ecTOO_MANY_PARAMS:
    case mu::ecTOO_FEW_PARAMS:
        return kArgumentCount;
    case mu::ecDIV_BY_ZERO:
        return kDivideByZero;
    case mu::ecMISSING_PARENS:
        return kUnbalanced;
    case mu::ecEMPTY_EXPRESSION:
        return kEmpty;
    case mu::ecEXPRESSION_TOO_LONG:
    case mu::ecIDENTIFIER_TOO_LONG:
        return kTooLong;
    case mu::ecINVALID_NAME:
    case mu::ecINVALID_BINOP_IDENT:
    case mu::ecINVALID_INFIX_IDENT:
    case mu::ecINVALID_POSTFIX_IDENT:
    case mu::ecBUILTIN_OVERLOAD:
    case mu::ecINVALID_FUN_PTR:
    case mu::ecINVALID_VAR_PTR:
    case mu::ecNAME_CONFLICT:
    case mu::ecOPT_PRI:
    case mu::ecGENERIC:
    case mu::ecLOCALE:
    case mu::ecINTERNAL_ERROR:
        return kCompile;
    default:
        return kSyntax;
    }
}

[[noreturn]] void throwDivideByZero() {
    throw mu::ParserError(mu::ecDIV_BY_ZERO);
}

// Operators of the checking parsers: the same arithmetic as the built-in
// ones, but a zero divisor stops the evaluation.
double opAdd(double a, double b) {
    return a + b;
}
double opSub(double a, double b) {
    return a - b;
}
double opMul(double a, double b) {
    return a * b;
}
double opDiv(double a, double b) {
    if (b == 0)
        throwDivideByZero();
    return a / b;
}
double opPowChecked(double a, double b) {
    if (a == 0 && b < 0)
        throwDivideByZero();
    return std::pow(a, b);
}
double opPow(double a, double b) {
    return std::pow(a, b);
}

double fnMin(const double* v, int n) {
    return *std::min_element(v, v + n);
}
double fnMax(const double* v, int n) {
    return *std::max_element(v, v + n);
}
double fnSign(double v) {
    return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0;
}

} // namespace

struct Evaluator::Impl {
    // Three parsers of one language: `fast` evaluates the points with the
    // built-in operators; `checked` runs again over them only when the
    // floating-point flags show that something may have divided by zero,
    // and finds whether it did; `scalar` (no x) serves constants and
    // evalOne. Keeping them apart leaves every bytecode compiled between
    // points.
    mu::Parser fast, checked, scalar;
    double x = 0;
    RandomSource random;
    std::map<std::string, double> constants;
    std::vector<double> values; // scratch of evalArray
    std::vector<double> draws;  // noise draws of a block run
    bool blockEvaluation = true;
    int threads = 0;

    Impl() {
        configure(fast, false, &x);
        configure(checked, true, &x);
        configure(scalar, true, nullptr);
    }

    static double rnd(void* self, const double* args, int n) {
        if (n > 2)
            throw mu::ParserError(mu::ecTOO_MANY_PARAMS);
        const double u = static_cast<Impl*>(self)->random.next();
        const double amplitude = n == 2 ? args[1] : 1.0;
        return amplitude * (2 * u - 1);
    }

    void configure(mu::Parser& p, bool checkedOps, double* xVar) {
        p.DefineNameChars("0123456789abcdefghijklmnopqrstuvwxyz");
        p.ClearFun();
        p.ClearConst();
        if (checkedOps) {
            p.EnableBuiltInOprt(false);
            p.DefineOprt("+", opAdd, mu::prADD_SUB, mu::oaLEFT, true);
            p.DefineOprt("-", opSub, mu::prADD_SUB, mu::oaLEFT, true);
            p.DefineOprt("*", opMul, mu::prMUL_DIV, mu::oaLEFT, true);
            p.DefineOprt("/", opDiv, mu::prMUL_DIV, mu::oaLEFT, true);
            p.DefineOprt("^", opPowChecked, mu::prPOW, mu::oaRIGHT, true);
        }
        using F1 = double (*)(double);
        p.DefineFun("sin", static_cast<F1>(std::sin));
        p.DefineFun("cos", static_cast<F1>(std::cos));
        p.DefineFun("tan", static_cast<F1>(std::tan));
        p.DefineFun("asin", static_cast<F1>(std::asin));
        p.DefineFun("acos", static_cast<F1>(std::acos));
        p.DefineFun("atan", static_cast<F1>(std::atan));
        p.DefineFun("sinh", static_cast<F1>(std::sinh));
        p.DefineFun("cosh", static_cast<F1>(std::cosh));
        p.DefineFun("tanh", static_cast<F1>(std::tanh));
        p.DefineFun("exp", static_cast<F1>(std::exp));
        p.DefineFun("log", static_cast<F1>(std::log));
        p.DefineFun("ln", static_cast<F1>(std::log));
        p.DefineFun("log10", static_cast<F1>(std::log10));
        p.DefineFun("sqrt", static_cast<F1>(std::sqrt));
        p.DefineFun("abs", static_cast<F1>(std::fabs));
        p.DefineFun("sign", fnSign);
        p.DefineFun("int", static_cast<F1>(std::floor));
        p.DefineFun("floor", static_cast<F1>(std::floor));
        p.DefineFun("ceil", static_cast<F1>(std::ceil));
        p.DefineFun("min", fnMin);
        p.DefineFun("max", fnMax);
        p.DefineFun("pow", checkedOps ? opPowChecked : opPow);
        p.DefineFunUserData("rnd", rnd, this, false);
        if (xVar)
            p.DefineVar("x", xVar);
        p.DefineConst("pi", std::numbers::pi);
    }

    static void setConstants(mu::Parser& p, const std::map<std::string, double>& set) {
        p.ClearConst();
        p.DefineConst("pi", std::numbers::pi);
        for (const auto& [name, value] : set)
            p.DefineConst(name, value);
    }

    // The expression and the constant items of a text.
    struct Parts {
        std::string_view expression;
        size_t expressionAt = 0;
        struct Item {
            std::string_view text;
            size_t at;
        };
        std::vector<Item> items;
    };

    // Splits blocks "[...]" (at the start or the end) from the expression.
    static Failure split(std::string_view text, Parts& parts) {
        size_t pos = 0;
        bool expressionSeen = false, blockAfterExpression = false;
        while (pos <= text.size()) {
            const size_t open = text.find_first_of("[]", pos);
            const size_t stop = open == std::string_view::npos ? text.size() : open;
            const std::string_view between = text.substr(pos, stop - pos);
            if (!trimmed(between).empty()) {
                if (expressionSeen || blockAfterExpression)
                    return {kSyntax, static_cast<int32_t>(pos)};
                expressionSeen = true;
                parts.expression = between;
                parts.expressionAt = pos;
            }
            if (open == std::string_view::npos)
                break;
            if (text[open] == ']')
                return {kUnbalancedBlock, static_cast<int32_t>(open)};
            const size_t close = text.find_first_of("[]", open + 1);
            if (close == std::string_view::npos || text[close] == '[')
                return {kUnbalancedBlock, static_cast<int32_t>(open)};
            blockAfterExpression = expressionSeen;
            // Items are separated by ";" or line ends.
            size_t item = open + 1;
            while (item < close) {
                const size_t end = std::min(text.find_first_of(";\r\n", item), close);
                parts.items.push_back({text.substr(item, end - item), item});
                item = end + 1;
            }
            pos = close + 1;
        }
        return {};
    }

    // Characters, parentheses and function calls, before the parser sees the
    // text, so that these failures get their own numbers.
    static Failure scan(std::string_view e, size_t at) {
        if (trimmed(e).empty())
            return {kEmpty, static_cast<int32_t>(at)};
        // Per open parenthesis: whether it holds a function's arguments, the
        // only place a comma may stand (the parser would otherwise take
        // "a, b" as two results and quietly keep the last).
        std::vector<bool> open;
        bool callNext = false;
        for (size_t i = 0; i < e.size();) {
            const char c = e[i];
            const auto here = static_cast<int32_t>(at + i);
            // A function name is always followed by its "(" (refused below
            // otherwise), which takes callNext.
            if (isLetter(c)) {
                size_t j = i;
                while (j < e.size() && (isLetter(e[j]) || isDigit(e[j]) || e[j] == '_'))
                    ++j;
                const std::string_view name = e.substr(i, j - i);
                size_t k = j;
                while (k < e.size() && isBlank(e[k]))
                    ++k;
                if (isFunctionName(name) && (k == e.size() || e[k] != '('))
                    return {kNoParenthesis, here};
                callNext = isFunctionName(name);
                i = j;
                continue;
            }
            if (isDigit(c) || c == '.') {
                // A number, with its exponent (1.5e-3, 1E+05).
                size_t j = i;
                while (j < e.size() && (isDigit(e[j]) || e[j] == '.'))
                    ++j;
                if (j < e.size() && (e[j] == 'e' || e[j] == 'E')) {
                    size_t k = j + 1;
                    if (k < e.size() && (e[k] == '+' || e[k] == '-'))
                        ++k;
                    if (k < e.size() && isDigit(e[k])) {
                        while (k < e.size() && isDigit(e[k]))
                            ++k;
                        j = k;
                    }
                }
                i = j;
                continue;
            }
            if (c == '(') {
                open.push_back(std::exchange(callNext, false));
            } else if (c == ')') {
                if (open.empty())
                    return {kUnbalanced, here};
                open.pop_back();
            } else if (c == ',' && (open.empty() || !open.back())) {
                return {kSyntax, here};
            } else if (!isBlank(c) &&
                       std::string_view("+-*/^,").find(c) == std::string_view::npos) {
                return {kSyntax, here};
            }
            ++i;
        }
        if (!open.empty())
            return {kUnbalanced, static_cast<int32_t>(at + e.size())};
        return {};
    }

    // Evaluates the constant items into `set` (on top of the constants
    // already there).
    Failure defineConstants(const Parts& parts, std::map<std::string, double>& set) {
        setConstants(scalar, set);
        for (const Parts::Item& item : parts.items) {
            const std::string_view text = trimmed(item.text);
            if (text.empty())
                continue;
            const Failure bad{kBadConstant, static_cast<int32_t>(item.at)};
            const size_t eq = text.find('=');
            if (eq == std::string_view::npos)
                return bad;
            const std::string name(trimmed(text.substr(0, eq)));
            const std::string_view expr = trimmed(text.substr(eq + 1));
            if (name.empty() || !isLower(name.front()) || name == "x" || name == "pi" ||
                isFunctionName(name) || !std::all_of(name.begin(), name.end(), [](char c) {
                    return isLower(c) || isDigit(c);
                }))
                return bad;
            if (scan(expr, 0).code != kOk)
                return bad;
            try {
                scalar.SetExpr(forParser(expr));
                const double v = scalar.Eval();
                if (!std::isfinite(v))
                    return bad;
                set[name] = v;
                scalar.DefineConst(name, v);
            } catch (const mu::ParserError&) {
                return bad;
            }
        }
        return {};
    }

    // Splits the text, checks it and evaluates its constants. On success
    // the parsers know the new constants and `set` holds them.
    Failure prepare(std::string_view text, Parts& parts, std::map<std::string, double>& set) {
        if (text.size() > kMaxTextLength)
            return {kTooLong, -1};
        if (Failure f = split(text, parts); f.code)
            return f;
        if (Failure f = scan(parts.expression, parts.expressionAt); f.code)
            return f;
        set = constants;
        return defineConstants(parts, set);
    }

    static Failure fromParser(const mu::ParserError& e, size_t at) {
        const int pos = e.GetPos();
        return {codeOf(e), pos >= 0 ? static_cast<int32_t>(at) + pos : -1};
    }

    Failure evalPoints(int64_t first, int64_t count, const Parts& parts) {
        const std::string expression = forParser(parts.expression);
        fast.SetExpr(expression);
        const RandomSource before = random;
        std::feclearexcept(FE_ALL_EXCEPT);
        // The first evaluation compiles the text (and folds its constants,
        // which may raise the flags too); its draws are taken back.
        x = static_cast<double>(first);
        fast.Eval();
        random = before;
        if (count == 0)
            return {};
        values.resize(static_cast<size_t>(count));
        bool clean = true;
        std::unique_ptr<BlockProgram> program;
        if (blockEvaluation)
            program = BlockProgram::compile(fast, &x, {reinterpret_cast<const void*>(&rnd), this});
        if (program) {
            const int calls = program->noiseCalls();
            draws.resize(static_cast<size_t>(count) * static_cast<size_t>(calls));
            for (double& u : draws)
                u = random.next();
            clean = program->run(first, count, draws.data(), values.data(), threads) &&
                    !std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
        } else {
            for (int64_t i = 0; i < count; ++i) {
                x = static_cast<double>(first + i);
                values[static_cast<size_t>(i)] = fast.Eval();
            }
            clean = !std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
        }
        if (clean)
            return {};
        // An infinity or a NaN appeared somewhere: find out whether a
        // division by zero made it, drawing the same random numbers again.
        const RandomSource after = random;
        random = before;
        checked.SetExpr(expression);
        for (int64_t i = 0; i < count; ++i) {
            x = static_cast<double>(first + i);
            checked.Eval();
        }
        random = after;
        return {};
    }

    int32_t evalArray(double first, double count, WaveHandle h, int32_t& position,
                      std::string_view text) {
        position = -1;
        std::span<int16_t> words = bufferWords(h);
        if (words.empty())
            return kNoBuffer;
        const Run run = clipRun(first, count, static_cast<int64_t>(words.size()));
        const RandomSource saved = random;
        Parts parts;
        std::map<std::string, double> set;
        Failure f;
        try {
            f = prepare(text, parts, set);
            if (!f.code) {
                setConstants(fast, set);
                setConstants(checked, set);
                f = evalPoints(run.first, run.count, parts);
            }
        } catch (const mu::ParserError& e) {
            f = fromParser(e, parts.expressionAt);
        } catch (const std::bad_alloc&) {
            f = {kNoMemory, -1};
        } catch (...) {
            f = {kCompile, -1};
        }
        if (f.code) {
            random = saved;
            position = f.position;
            return f.code;
        }
        constants = std::move(set);
        for (int64_t i = 0; i < run.count; ++i)
            words[static_cast<size_t>(run.first + i)] = W_ToWord(values[static_cast<size_t>(i)]);
        return kOk;
    }

    int32_t evalOne(std::string_view text, double& value, int32_t& position) {
        position = -1;
        const RandomSource saved = random;
        Parts parts;
        std::map<std::string, double> set;
        Failure f;
        double v = 0;
        try {
            f = prepare(text, parts, set);
            if (!f.code) {
                setConstants(scalar, set);
                scalar.SetExpr(forParser(parts.expression));
                v = scalar.Eval();
            }
        } catch (const mu::ParserError& e) {
            f = fromParser(e, parts.expressionAt);
        } catch (const std::bad_alloc&) {
            f = {kNoMemory, -1};
        } catch (...) {
            f = {kCompile, -1};
        }
        if (f.code) {
            random = saved;
            position = f.position;
            return f.code;
        }
        constants = std::move(set);
        value = v;
        return kOk;
    }
};

Evaluator::Evaluator() : d(std::make_unique<Impl>()) {}
Evaluator::~Evaluator() = default;

int32_t Evaluator::evalArray(double first, double count, WaveHandle h, int32_t& position,
                             std::string_view text) {
    return d->evalArray(first, count, h, position, text);
}

int32_t Evaluator::evalOne(std::string_view text, double& value, int32_t& position) {
    return d->evalOne(text, value, position);
}

void Evaluator::clearConstants() {
    d->constants.clear();
}

void Evaluator::setBlockEvaluation(bool on, int threads) {
    d->blockEvaluation = on;
    d->threads = threads;
}

void Evaluator::initRandom(int32_t seed) {
    d->random.reseed(seed);
}

std::optional<double> Evaluator::constant(const std::string& name) const {
    auto it = d->constants.find(name);
    if (it == d->constants.end())
        return std::nullopt;
    return it->second;
}

Evaluator& defaultEvaluator() {
    static Evaluator evaluator;
    return evaluator;
}

} // namespace velda::engine

using velda::engine::defaultEvaluator;

int32_t EvalArray1(double first, double count, WaveHandle h, int32_t& position, const char* text) {
    return defaultEvaluator().evalArray(first, count, h, position, text ? text : "");
}

int32_t EvalOne(const char* text, double& value, int32_t& position) {
    return defaultEvaluator().evalOne(text ? text : "", value, position);
}

void ClearConstant() {
    defaultEvaluator().clearConstants();
}

void EvalInitRandom(int32_t seed) {
    defaultEvaluator().initRandom(seed);
}
