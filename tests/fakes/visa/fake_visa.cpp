// A stand-in for a system VISA library, loaded by the tests with dlopen.
// Its own declarations follow the IVI header's 64-bit Linux types, so a
// caller that passed the wrong widths would show wrong values in the record.
//
// Record lines (fakevisa_record): "viOpen <name>", "viSetAttribute <vi>
// <attr hex> <value>", "viWrite <vi> <bytes> <fnv1a hex> <text>",
// "viRead <vi> <asked>", "viClear <vi>", "viGpibControlREN <vi> <mode>",
// "viClose <vi>". Answers are handed out in pieces of fakevisa_set_chunk
// bytes with VI_SUCCESS_MAX_CNT until the last. Only queries given an
// answer with fakevisa_answer are answered; a read without one times out.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

typedef unsigned int ViUInt32;
typedef signed int ViInt32;
typedef unsigned short ViUInt16;
typedef unsigned long long ViUInt64;
typedef ViInt32 ViStatus;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViSession* ViPSession;
typedef ViUInt32 ViAttr;
typedef ViUInt64 ViAttrState;
typedef ViUInt32 ViAccessMode;
typedef unsigned char* ViBuf;
typedef const unsigned char* ViConstBuf;
typedef const char* ViConstRsrc;
typedef ViUInt32* ViPUInt32;

#define VI_SUCCESS 0
#define VI_SUCCESS_TERM_CHAR ((ViStatus)0x3FFF0005)
#define VI_SUCCESS_MAX_CNT ((ViStatus)0x3FFF0006)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000E)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015)
#define VI_ATTR_TERMCHAR 0x3FFF0018u
#define VI_ATTR_TERMCHAR_EN 0x3FFF0038u

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Session {
    std::string name;
    unsigned char termChar = '\n';
    bool termCharEnabled = false;
    std::string reply;
};

std::string record;
std::map<ViSession, Session> sessions;
ViSession nextSession = 100;
ViUInt32 chunk = 0;
ViUInt32 stalls = 0;                        // reads still to answer "more" with nothing
std::map<std::string, ViStatus> failures;   // call name -> status for its next call
std::map<std::string, std::string> answers; // query -> its answer
std::string sent;
ViUInt32 shortWrite = 0; // bytes the next write leaves out, saying it wrote them

void note(const std::string& line) {
    record += line + "\n";
}

bool failing(const char* call, ViStatus* st) {
    auto it = failures.find(call);
    if (it == failures.end())
        return false;
    *st = it->second;
    failures.erase(it);
    return true;
}

unsigned fnv1a(const unsigned char* p, std::size_t n) {
    unsigned h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    return h;
}

} // namespace

FAKE_EXPORT const char* fakevisa_record() {
    return record.c_str();
}
FAKE_EXPORT void fakevisa_reset() {
    record.clear();
    sessions.clear();
    failures.clear();
    answers.clear();
    sent.clear();
    chunk = 0;
    stalls = 0;
    shortWrite = 0;
}
FAKE_EXPORT void fakevisa_answer(const char* query, const char* reply, ViUInt32 length) {
    answers[query] = std::string(reply, length);
}
FAKE_EXPORT const char* fakevisa_sent(ViUInt32* length) {
    *length = static_cast<ViUInt32>(sent.size());
    return sent.data();
}
FAKE_EXPORT void fakevisa_set_chunk(ViUInt32 bytes) {
    chunk = bytes;
}
// A library gone wrong: the next `reads` reads say the message goes on but
// hand out no byte.
FAKE_EXPORT void fakevisa_stall_reads(ViUInt32 reads) {
    stalls = reads;
}
// A library gone wrong: the next write takes all but `missing` bytes and
// says it is done.
FAKE_EXPORT void fakevisa_short_write(ViUInt32 missing) {
    shortWrite = missing;
}
FAKE_EXPORT void fakevisa_fail_next(const char* call, ViStatus status) {
    failures[call] = status;
}

FAKE_EXPORT ViStatus viOpenDefaultRM(ViPSession vi) {
    note("viOpenDefaultRM");
    ViStatus st;
    if (failing("viOpenDefaultRM", &st))
        return st;
    *vi = 1;
    return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                            ViPSession vi) {
    note(std::string("viOpen ") + name + " " + std::to_string(mode) + " " +
         std::to_string(timeout));
    ViStatus st;
    if (failing("viOpen", &st))
        return st;
    if (sesn != 1 || std::strstr(name, "MISSING"))
        return VI_ERROR_RSRC_NFOUND;
    *vi = nextSession++;
    sessions[*vi].name = name;
    return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viClose(ViObject vi) {
    note("viClose " + std::to_string(vi));
    return sessions.erase(vi) || vi == 1 ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}

FAKE_EXPORT ViStatus viSetAttribute(ViObject vi, ViAttr attr, ViAttrState value) {
    char line[96];
    std::snprintf(line, sizeof line, "viSetAttribute %u %08X %llu", vi, attr, value);
    note(line);
    ViStatus st;
    if (failing("viSetAttribute", &st))
        return st;
    auto it = sessions.find(vi);
    if (it == sessions.end())
        return VI_ERROR_INV_OBJECT;
    if (attr == VI_ATTR_TERMCHAR)
        it->second.termChar = static_cast<unsigned char>(value);
    if (attr == VI_ATTR_TERMCHAR_EN)
        it->second.termCharEnabled = value != 0;
    return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViPUInt32 retCount) {
    std::string text(reinterpret_cast<const char*>(buf), count < 60 ? count : 60);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
            c = '.';
    char head[64];
    std::snprintf(head, sizeof head, "viWrite %u %u %08x ", vi, count, fnv1a(buf, count));
    note(head + text);
    ViStatus st;
    if (failing("viWrite", &st)) {
        *retCount = 0;
        return st;
    }
    auto it = sessions.find(vi);
    if (it == sessions.end())
        return VI_ERROR_INV_OBJECT;
    std::string q(reinterpret_cast<const char*>(buf), count);
    while (!q.empty() && (q.back() == '\n' || q.back() == '\r'))
        q.pop_back();
    sent.append(reinterpret_cast<const char*>(buf), count);
    auto a = answers.find(q);
    if (a != answers.end())
        it->second.reply = a->second;
    *retCount = count > shortWrite ? count - shortWrite : 0;
    shortWrite = 0;
    return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViPUInt32 retCount) {
    note("viRead " + std::to_string(vi) + " " + std::to_string(count));
    *retCount = 0;
    ViStatus st;
    if (failing("viRead", &st))
        return st;
    if (stalls > 0) {
        --stalls;
        return VI_SUCCESS_MAX_CNT;
    }
    auto it = sessions.find(vi);
    if (it == sessions.end())
        return VI_ERROR_INV_OBJECT;
    Session& s = it->second;
    if (s.reply.empty())
        return VI_ERROR_TMO;
    std::size_t n = s.reply.size() < count ? s.reply.size() : count;
    if (chunk && n > chunk)
        n = chunk;
    std::memcpy(buf, s.reply.data(), n);
    s.reply.erase(0, n);
    *retCount = static_cast<ViUInt32>(n);
    if (!s.reply.empty())
        return VI_SUCCESS_MAX_CNT;
    if (s.termCharEnabled && n > 0 && buf[n - 1] == s.termChar)
        return VI_SUCCESS_TERM_CHAR;
    return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viClear(ViSession vi) {
    note("viClear " + std::to_string(vi));
    ViStatus st;
    if (failing("viClear", &st))
        return st;
    auto it = sessions.find(vi);
    if (it == sessions.end())
        return VI_ERROR_INV_OBJECT;
    it->second.reply.clear();
    return VI_SUCCESS;
}

FAKE_EXPORT ViStatus viGpibControlREN(ViSession vi, ViUInt16 mode) {
    note("viGpibControlREN " + std::to_string(vi) + " " + std::to_string(mode));
    ViStatus st;
    if (failing("viGpibControlREN", &st))
        return st;
    return sessions.count(vi) ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}
