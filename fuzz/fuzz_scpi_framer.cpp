// The test instrument's cut of received bytes into lines and blocks: any
// input, in any pieces, gives the same lines and blocks, and never more
// bytes out than came in.
#include "../tests/fakes/instrument/ScpiFramer.cpp"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Out {
    std::vector<std::string> texts;
    std::vector<std::string> blocks;
    std::string pending;
    std::size_t inBlock = 0;
};

Out run(const uint8_t* data, std::size_t size, std::size_t piece) {
    Out o;
    velda::test::ScpiFramer f;
    f.onLine = [&](const velda::test::ScpiLine& l) { o.texts.push_back(l.text); };
    f.onBlock = [&](const std::string& b) { o.blocks.push_back(b); };
    for (std::size_t i = 0; i < size; i += piece)
        f.feed(reinterpret_cast<const char*>(data) + i, std::min(piece, size - i));
    o.pending = f.pendingText();
    o.inBlock = f.blockBytesSoFar();
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Out whole = run(data, size, size ? size : 1);
    const Out bytes = run(data, size, 1);
    const Out sevens = run(data, size, 7);
    for (const Out* o : {&bytes, &sevens})
        if (o->texts != whole.texts || o->blocks != whole.blocks || o->pending != whole.pending ||
            o->inBlock != whole.inBlock)
            std::abort();
    std::size_t out = whole.pending.size() + whole.inBlock;
    for (const auto& t : whole.texts)
        out += t.size();
    for (const auto& b : whole.blocks)
        out += b.size();
    if (out > size)
        std::abort();
    return 0;
}
