#include "engine/eval32_block.h"

#include <muParser.h>
#include <muParserBytecode.h>

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <cmath>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace velda::engine {

namespace {

// Points per block: the stack rows of a block stay in the first-level cache.
constexpr int kBlock = 256;
// Below this many points one thread is quicker than waking the others.
constexpr int64_t kParallelFrom = 8192;
// Threads of one run at most.
constexpr int kMaxThreads = 8;
// Arguments a fixed-argument function may take here.
constexpr int kMaxFixedArgs = 3;
// Arguments of a function with a variable number of them.
constexpr int kMaxMultiArgs = 16;

using F0 = double (*)();
using F1 = double (*)(double);
using F2 = double (*)(double, double);
using F3 = double (*)(double, double, double);
using FN = double (*)(const double*, int);
using FNU = double (*)(void*, const double*, int);

} // namespace

struct BlockProgram::Step {
    enum Kind {
        Add,
        Sub,
        Mul,
        Div,
        Pow,
        Var,
        Val,
        VarPow2,
        VarPow3,
        VarPow4,
        VarMul,
        Fun0,
        Fun1,
        Fun2,
        Fun3,
        FunN,
        Noise
    };
    Kind kind;
    // Stack row written (and, for operators and functions, the first read).
    int row;
    double data = 0, data2 = 0;
    mu::erased_fun_type fn = nullptr;
    void* userData = nullptr;
    int argc = 0;
    int site = 0; // noise call number within a point
};

BlockProgram::~BlockProgram() = default;

int BlockProgram::noiseCalls() const {
    return noiseCalls_;
}

std::unique_ptr<BlockProgram> BlockProgram::compile(const mu::ParserBase& parser, const double* x,
                                                    Noise noise) {
    if (parser.GetNumResults() != 1)
        return nullptr;
    const mu::ParserByteCode& code = parser.GetByteCode();
    if (code.GetSize() == 0)
        return nullptr;
    std::unique_ptr<BlockProgram> p(new BlockProgram);
    int sidx = 0, deepest = 0;
    const auto push = [&](Step s) {
        s.row = sidx;
        p->steps_.push_back(s);
        deepest = std::max(deepest, sidx);
    };
    for (const mu::SToken* t = code.GetBase(); t->Cmd != mu::cmEND; ++t) {
        Step s{};
        switch (t->Cmd) {
        case mu::cmADD:
        case mu::cmSUB:
        case mu::cmMUL:
        case mu::cmDIV:
        case mu::cmPOW:
            if (sidx < 2)
                return nullptr;
            --sidx;
            s.kind = t->Cmd == mu::cmADD   ? Step::Add
                     : t->Cmd == mu::cmSUB ? Step::Sub
                     : t->Cmd == mu::cmMUL ? Step::Mul
                     : t->Cmd == mu::cmDIV ? Step::Div
                                           : Step::Pow;
            push(s);
            break;
        case mu::cmVAR:
        case mu::cmVARPOW2:
        case mu::cmVARPOW3:
        case mu::cmVARPOW4:
        case mu::cmVARMUL:
            if (t->Val.ptr != x)
                return nullptr;
            ++sidx;
            s.kind = t->Cmd == mu::cmVAR       ? Step::Var
                     : t->Cmd == mu::cmVARPOW2 ? Step::VarPow2
                     : t->Cmd == mu::cmVARPOW3 ? Step::VarPow3
                     : t->Cmd == mu::cmVARPOW4 ? Step::VarPow4
                                               : Step::VarMul;
            s.data = t->Val.data;
            s.data2 = t->Val.data2;
            push(s);
            break;
        case mu::cmVAL:
            ++sidx;
            s.kind = Step::Val;
            s.data2 = t->Val.data2;
            push(s);
            break;
        case mu::cmFUNC: {
            const int argc = t->Fun.argc;
            s.fn = t->Fun.cb._pRawFun;
            s.userData = t->Fun.cb._pUserData;
            if (argc >= 0) {
                // Fixed-argument functions of the language carry no user data.
                if (argc > kMaxFixedArgs || s.userData)
                    return nullptr;
                sidx += argc == 0 ? 1 : -(argc - 1);
                s.kind = static_cast<Step::Kind>(Step::Fun0 + argc);
            } else {
                const int n = -argc;
                if (n > kMaxMultiArgs)
                    return nullptr;
                sidx -= n - 1;
                s.argc = n;
                const bool isNoise = reinterpret_cast<const void*>(s.fn) == noise.function &&
                                     s.userData == noise.userData;
                if (isNoise) {
                    // Only the call shapes the noise function accepts; the
                    // others fail in the parser's own first evaluation.
                    if (n > 2)
                        return nullptr;
                    s.kind = Step::Noise;
                    s.site = p->noiseCalls_++;
                } else {
                    s.kind = Step::FunN;
                }
            }
            if (sidx < 1)
                return nullptr;
            push(s);
            break;
        }
        default:
            // Branches, assignments, string and bulk functions: not in this
            // program's language; the point-by-point evaluation handles them.
            return nullptr;
        }
    }
    if (sidx != 1)
        return nullptr;
    p->stackSize_ = deepest + 1;
    return p;
}

void BlockProgram::runBlock(int64_t first, int n, int64_t pointIndex, const double* draws,
                            double* out, double* stack) const {
    const auto row = [&](int r) { return stack + static_cast<size_t>(r) * kBlock; };
    for (const Step& s : steps_) {
        double* a = row(s.row);
        switch (s.kind) {
        case Step::Add: {
            const double* b = row(s.row + 1);
            for (int i = 0; i < n; ++i)
                a[i] += b[i];
            break;
        }
        case Step::Sub: {
            const double* b = row(s.row + 1);
            for (int i = 0; i < n; ++i)
                a[i] -= b[i];
            break;
        }
        case Step::Mul: {
            const double* b = row(s.row + 1);
            for (int i = 0; i < n; ++i)
                a[i] *= b[i];
            break;
        }
        case Step::Div: {
            const double* b = row(s.row + 1);
            for (int i = 0; i < n; ++i)
                a[i] /= b[i];
            break;
        }
        case Step::Pow: {
            const double* b = row(s.row + 1);
            for (int i = 0; i < n; ++i)
                a[i] = std::pow(a[i], b[i]);
            break;
        }
        case Step::Var:
            for (int i = 0; i < n; ++i)
                a[i] = static_cast<double>(first + i);
            break;
        case Step::VarPow2:
            for (int i = 0; i < n; ++i) {
                const double v = static_cast<double>(first + i);
                a[i] = v * v;
            }
            break;
        case Step::VarPow3:
            for (int i = 0; i < n; ++i) {
                const double v = static_cast<double>(first + i);
                a[i] = v * v * v;
            }
            break;
        case Step::VarPow4:
            for (int i = 0; i < n; ++i) {
                const double v = static_cast<double>(first + i);
                a[i] = v * v * v * v;
            }
            break;
        case Step::VarMul:
            for (int i = 0; i < n; ++i)
                a[i] = static_cast<double>(first + i) * s.data + s.data2;
            break;
        case Step::Val:
            std::fill(a, a + n, s.data2);
            break;
        case Step::Fun0: {
            const auto f = reinterpret_cast<F0>(s.fn);
            for (int i = 0; i < n; ++i)
                a[i] = f();
            break;
        }
        case Step::Fun1: {
            const auto f = reinterpret_cast<F1>(s.fn);
            // The common functions called directly, so the compiler can
            // inline what it may; the others through their pointer.
            if (f == static_cast<F1>(std::sin)) {
                for (int i = 0; i < n; ++i)
                    a[i] = std::sin(a[i]);
            } else if (f == static_cast<F1>(std::cos)) {
                for (int i = 0; i < n; ++i)
                    a[i] = std::cos(a[i]);
            } else if (f == static_cast<F1>(std::sqrt)) {
                // Exact operations: these vectorise with the same results.
                for (int i = 0; i < n; ++i)
                    a[i] = std::sqrt(a[i]);
            } else if (f == static_cast<F1>(std::fabs)) {
                for (int i = 0; i < n; ++i)
                    a[i] = std::fabs(a[i]);
            } else if (f == static_cast<F1>(std::floor)) {
                for (int i = 0; i < n; ++i)
                    a[i] = std::floor(a[i]);
            } else {
                for (int i = 0; i < n; ++i)
                    a[i] = f(a[i]);
            }
            break;
        }
        case Step::Fun2: {
            const auto f = reinterpret_cast<F2>(s.fn);
            const double* b = row(s.row + 1);
            for (int i = 0; i < n; ++i)
                a[i] = f(a[i], b[i]);
            break;
        }
        case Step::Fun3: {
            const auto f = reinterpret_cast<F3>(s.fn);
            const double* b = row(s.row + 1);
            const double* c = row(s.row + 2);
            for (int i = 0; i < n; ++i)
                a[i] = f(a[i], b[i], c[i]);
            break;
        }
        case Step::FunN: {
            double args[kMaxMultiArgs];
            for (int i = 0; i < n; ++i) {
                for (int k = 0; k < s.argc; ++k)
                    args[k] = row(s.row + k)[i];
                a[i] = s.userData ? reinterpret_cast<FNU>(s.fn)(s.userData, args, s.argc)
                                  : reinterpret_cast<FN>(s.fn)(args, s.argc);
            }
            break;
        }
        case Step::Noise: {
            // The draw of this call at each point: point-major, call order
            // within the point, as a point-by-point run takes them.
            const double* u = draws + pointIndex * noiseCalls_ + s.site;
            if (s.argc == 2) {
                const double* amplitude = row(s.row + 1);
                for (int i = 0; i < n; ++i)
                    a[i] = amplitude[i] * (2 * u[static_cast<int64_t>(i) * noiseCalls_] - 1);
            } else {
                for (int i = 0; i < n; ++i)
                    a[i] = 1.0 * (2 * u[static_cast<int64_t>(i) * noiseCalls_] - 1);
            }
            break;
        }
        }
    }
    std::copy(row(1), row(1) + n, out);
}

namespace {

// Helper threads for block runs. The caller works through the blocks itself
// and the helpers take blocks beside it when they get the processor; the
// caller never waits for a helper that has not started, so a busy machine
// costs at most the one-thread time.
class BlockPool {
public:
    using Work = std::function<void(int64_t block)>;

    static BlockPool& instance() {
        static BlockPool pool;
        return pool;
    }

    // Runs work(b) for every b < blocks on the caller and up to `helpers`
    // helper threads; returns the floating-point flags raised on any of them.
    int run(int64_t blocks, int helpers, const Work& work) {
        Job job{&work, blocks};
        {
            std::lock_guard lock(mutex_);
            ensureThreads(helpers);
            job_ = &job;
            wanted_ = helpers;
            ++generation_;
        }
        wake_.notify_all();
        job.flags.fetch_or(take(job));
        {
            std::lock_guard lock(mutex_);
            job_ = nullptr; // no helper joins from now on
        }
        // Helpers inside the job finish the block they hold.
        while (job.active.load() > 0)
            std::this_thread::yield();
        return job.flags.load();
    }

    ~BlockPool() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }

private:
    struct Job {
        const Work* work;
        int64_t blocks;
        std::atomic<int64_t> next{0};
        std::atomic<int> active{0};
        std::atomic<int> flags{0};
    };

    static int take(Job& job) {
        std::feclearexcept(FE_ALL_EXCEPT);
        for (int64_t b; (b = job.next.fetch_add(1)) < job.blocks;)
            (*job.work)(b);
        return std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    }

    void ensureThreads(int helpers) {
        while (static_cast<int>(threads_.size()) < helpers) {
            const int index = static_cast<int>(threads_.size());
            threads_.emplace_back([this, index] { loop(index); });
        }
    }

    void loop(int index) {
        uint64_t seen = 0;
        for (;;) {
            Job* job = nullptr;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
                if (stop_)
                    return;
                seen = generation_;
                if (!job_ || index >= wanted_)
                    continue;
                job = job_;
                job->active.fetch_add(1);
            }
            job->flags.fetch_or(take(*job));
            job->active.fetch_sub(1);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::thread> threads_;
    Job* job_ = nullptr;
    int wanted_ = 0;
    uint64_t generation_ = 0;
    bool stop_ = false;
};

} // namespace

bool BlockProgram::run(int64_t first, int64_t count, const double* draws, double* values,
                       int threads) const {
    const int64_t blocks = (count + kBlock - 1) / kBlock;
    const size_t stackDoubles = static_cast<size_t>(stackSize_ + 1) * kBlock;
    // Flags raised before the run (constants folded when the text was
    // compiled) count too.
    const int before = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    const auto block = [&](int64_t b) {
        thread_local std::vector<double> stack;
        if (stack.size() < stackDoubles)
            stack.resize(stackDoubles);
        const int64_t at = b * kBlock;
        const int n = static_cast<int>(std::min<int64_t>(kBlock, count - at));
        runBlock(first + at, n, at, draws, values + at, stack.data());
    };
    int team = threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency());
    team = std::clamp(team, 1, kMaxThreads);
    int raised = 0;
    if (team > 1 && count >= kParallelFrom) {
        raised = BlockPool::instance().run(blocks, team - 1, block);
    } else {
        std::feclearexcept(FE_ALL_EXCEPT);
        for (int64_t b = 0; b < blocks; ++b)
            block(b);
        raised = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    }
    return (before | raised) == 0;
}

} // namespace velda::engine
