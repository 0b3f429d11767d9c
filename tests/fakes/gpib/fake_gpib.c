/* A stand-in for a GPIB board library with the 488.2 board calls: it
 * journals every call with its command bytes, records the data of ibwrt and
 * answers ibrd from replies the test queues. Bridged to a TCP instrument
 * (fake_gpib_bridge), it also hands every ibwrt to that instrument and
 * answers ibrd with what the instrument says, so a whole transfer can run
 * against a test instrument. Built twice: once whole, once without ibwrt,
 * for the missing-function path. */
#include "../fake_journal.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#define ERR 0x8000
#define TIMO 0x4000
#define END 0x2000
#define CMPL 0x0100
#define EDVR 0
#define EABO 6

static int sta, err;
static long cntl;
static int pad;
static char boards[256] = "gpib0";
/* Board descriptors 0..minors-1 have a board; a call on another one fails
 * as the library fails it (checked at the interface clear, the first call
 * a program makes on a board). */
static int minors = 1;

FAKE_CONTROL(fake_gpib)

static int bridge = -1;
static int bridge_wait_ms = 2000;

static void bridge_close(void) {
    if (bridge >= 0)
        close(bridge);
    bridge = -1;
}

/* Connects to the instrument at host:port (an IPv4 address); 0 on success.
 * Port 0 ends the bridge. */
FAKE_EXPORT int fake_gpib_bridge(const char* host, int port, int wait_ms) {
    bridge_close();
    if (port == 0)
        return 0;
    struct sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons((unsigned short)port);
    if (inet_pton(AF_INET, host, &a.sin_addr) != 1)
        return -1;
    bridge = socket(AF_INET, SOCK_STREAM, 0);
    if (bridge < 0 || connect(bridge, (struct sockaddr*)&a, sizeof a) != 0) {
        bridge_close();
        return -1;
    }
    bridge_wait_ms = wait_ms > 0 ? wait_ms : 2000;
    return 0;
}

static int bridge_send(const void* data, long n) {
    const char* p = (const char*)data;
    while (n > 0) {
        ssize_t k = send(bridge, p, (size_t)n, MSG_NOSIGNAL);
        if (k <= 0)
            return 0;
        p += k;
        n -= (long)k;
    }
    return 1;
}

/* Up to n bytes of the instrument's answer, ending at its LF; the count,
 * or -1 when it says nothing in time. */
static long bridge_read(char* buffer, long n) {
    long got = 0;
    while (got < n) {
        struct pollfd p = {bridge, POLLIN, 0};
        if (poll(&p, 1, bridge_wait_ms) <= 0)
            break;
        if (recv(bridge, buffer + got, 1, 0) != 1)
            break;
        if (buffer[got++] == '\n')
            return got;
    }
    return got > 0 ? got : -1;
}

FAKE_EXPORT void fake_gpib_reset(const char* boardNames) {
    fake_journal_reset();
    bridge_close();
    fake_reply_count = 0;
    fake_fail_name[0] = 0;
    snprintf(boards, sizeof boards, "%s", boardNames);
    minors = 1;
    sta = err = 0;
    cntl = 0;
    pad = 0;
}

static int done(const char* name, long count) {
    if (fake_should_fail(name)) {
        sta = fake_fail_status;
        err = fake_fail_error;
        cntl = 0;
        return sta;
    }
    sta = CMPL;
    err = 0;
    cntl = count;
    return sta;
}

FAKE_EXPORT int ibfind(const char* name) {
    fake_note("ibfind %s", name);
    if (fake_should_fail("ibfind")) {
        sta = fake_fail_status;
        err = fake_fail_error;
        return -1;
    }
    /* The name is compared exactly, as the configuration lookup does. */
    if (boards[0] && strcmp(boards, name) == 0) {
        sta = CMPL;
        err = 0;
        return 0;
    }
    fprintf(stderr, "fake_gpib: no board named %s\n", name);
    sta = ERR;
    err = EDVR;
    return -1;
}

FAKE_EXPORT int ibcmd(int ud, const void* cmd, long n) {
    char hex[256];
    fake_hex(hex, sizeof hex, cmd, n);
    fake_note("ibcmd %d %s", ud, hex);
    return done("ibcmd", n);
}

#ifndef FAKE_WITHOUT_IBWRT
FAKE_EXPORT int ibwrt(int ud, const void* data, long n) {
    char hex[256];
    fake_hex(hex, sizeof hex, data, n);
    fake_note("ibwrt %d %ld %s", ud, n, hex);
    fake_record(data, n);
    done("ibwrt", n);
    if (!(sta & ERR) && bridge >= 0 && !bridge_send(data, n)) {
        sta = ERR;
        err = EABO;
        cntl = 0;
    }
    return sta;
}
#endif

FAKE_EXPORT int ibrd(int ud, void* buffer, long n) {
    fake_note("ibrd %d %ld", ud, n);
    if (bridge >= 0) {
        long got = bridge_read((char*)buffer, n);
        sta = got < 0 ? (ERR | TIMO) : (CMPL | (((char*)buffer)[got - 1] == '\n' ? END : 0));
        err = got < 0 ? EABO : 0;
        cntl = got < 0 ? 0 : got;
        return sta;
    }
    struct fake_read r;
    if (!fake_read_reply((char*)buffer, n, &r)) {
        /* Nothing to say: the read times out. */
        sta = ERR | TIMO;
        err = EABO;
        cntl = 0;
        return sta;
    }
    /* The board ends a read at the end of the message (EOI) with END. */
    sta = r.status ? r.status : (CMPL | (r.ended ? END : 0));
    err = r.error;
    cntl = r.count;
    return sta;
}

FAKE_EXPORT int ibsic(int ud) {
    fake_note("ibsic %d", ud);
    if (ud < 0 || ud >= minors) {
        sta = ERR;
        err = EDVR;
        return sta;
    }
    return done("ibsic", 0);
}
FAKE_EXPORT int ibsre(int ud, int v) {
    fake_note("ibsre %d %d", ud, v);
    return done("ibsre", 0);
}
FAKE_EXPORT int ibtmo(int ud, int v) {
    fake_note("ibtmo %d %d", ud, v);
    return done("ibtmo", 0);
}
FAKE_EXPORT int ibeos(int ud, int v) {
    fake_note("ibeos %d %04X", ud, v);
    return done("ibeos", 0);
}
FAKE_EXPORT int ibeot(int ud, int v) {
    fake_note("ibeot %d %d", ud, v);
    return done("ibeot", 0);
}
FAKE_EXPORT int ibpad(int ud, int v) {
    fake_note("ibpad %d %d", ud, v);
    pad = v;
    return done("ibpad", 0);
}
FAKE_EXPORT int ibconfig(int ud, int option, int v) {
    fake_note("ibconfig %d %d %d", ud, option, v);
    return done("ibconfig", 0);
}
FAKE_EXPORT int ibask(int ud, int option, int* v) {
    fake_note("ibask %d %d", ud, option);
    *v = option == 1 ? pad : 0;
    return done("ibask", 0);
}
FAKE_EXPORT int ThreadIbsta(void) {
    return sta;
}
FAKE_EXPORT int ThreadIberr(void) {
    return err;
}
FAKE_EXPORT int ThreadIbcnt(void) {
    return (int)cntl;
}
FAKE_EXPORT long ThreadIbcntl(void) {
    return cntl;
}
