#include "sndfile_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace velda::plugin {

struct SoundReader {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    bool pcm16 = false;
    // A sound in memory.
    const unsigned char* bytes = nullptr;
    sf_count_t size = 0;
    sf_count_t pos = 0;
};

namespace {

sf_count_t vLength(void* user) {
    return static_cast<SoundReader*>(user)->size;
}
sf_count_t vSeek(sf_count_t offset, int whence, void* user) {
    auto* r = static_cast<SoundReader*>(user);
    sf_count_t p = whence == SEEK_SET   ? offset
                   : whence == SEEK_CUR ? r->pos + offset
                                        : r->size + offset;
    if (p < 0 || p > r->size)
        return -1;
    r->pos = p;
    return p;
}
sf_count_t vRead(void* ptr, sf_count_t count, void* user) {
    auto* r = static_cast<SoundReader*>(user);
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, r->size - r->pos));
    if (n > 0)
        std::memcpy(ptr, r->bytes + r->pos, static_cast<size_t>(n));
    r->pos += n;
    return n;
}
sf_count_t vWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t vTell(void* user) {
    return static_cast<SoundReader*>(user)->pos;
}

SoundReader* opened(SoundReader* r) {
    if (!r->file || r->info.channels < 1 || r->info.frames < 0) {
        if (r->file)
            sf_close(r->file);
        delete r;
        return nullptr;
    }
    r->pcm16 = (r->info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    return r;
}

} // namespace

SoundReader* Sound_Open(const char* path) {
    auto* r = new (std::nothrow) SoundReader;
    if (!r)
        return nullptr;
    r->file = sf_open(path, SFM_READ, &r->info);
    return opened(r);
}

SoundReader* Sound_Open_Memory(const void* bytes, size_t size) {
    auto* r = new (std::nothrow) SoundReader;
    if (!r)
        return nullptr;
    r->bytes = static_cast<const unsigned char*>(bytes);
    r->size = static_cast<sf_count_t>(size);
    static SF_VIRTUAL_IO io{vLength, vSeek, vRead, vWrite, vTell};
    r->file = sf_open_virtual(&io, SFM_READ, &r->info, r);
    return opened(r);
}

int64_t Sound_Frames(const SoundReader* r) {
    return r ? r->info.frames : 0;
}

bool Sound_Seek(SoundReader* r, int64_t frame) {
    return r && sf_seek(r->file, frame, SEEK_SET) == frame;
}

int64_t Sound_Read(SoundReader* r, int16_t* words, int64_t count) {
    if (!r || !words || count < 0)
        return -1;
    const int ch = r->info.channels;
    int64_t done = 0;
    constexpr int64_t kChunk = 1024;
    while (done < count) {
        const int64_t want = std::min(kChunk, count - done);
        sf_count_t got = 0;
        if (r->pcm16) {
            std::vector<short> buf(static_cast<size_t>(want * ch));
            got = sf_readf_short(r->file, buf.data(), want);
            for (sf_count_t i = 0; i < got; ++i)
                words[done + i] =
                    static_cast<int16_t>(std::max<int>(buf[static_cast<size_t>(i * ch)], -32767));
        } else {
            std::vector<double> buf(static_cast<size_t>(want * ch));
            got = sf_readf_double(r->file, buf.data(), want);
            for (sf_count_t i = 0; i < got; ++i) {
                const double v = buf[static_cast<size_t>(i * ch)];
                // NaN is no sample: 0; the infinities are the ends of the scale.
                const double w =
                    std::isnan(v) ? 0.0 : std::clamp(std::round(v * 32767.0), -32767.0, 32767.0);
                words[done + i] = static_cast<int16_t>(w);
            }
        }
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

void Sound_Close(SoundReader* r) {
    if (!r)
        return;
    sf_close(r->file);
    delete r;
}

} // namespace velda::plugin
