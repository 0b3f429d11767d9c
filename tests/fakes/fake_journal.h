/* Shared by the fake bus libraries: a text journal of the calls made, one
 * line each, and a record of the data bytes sent. Each fake library compiles
 * its own copy, so the fakes do not share state. */
#pragma once
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define FAKE_JOURNAL_SIZE (1 << 20)
static char fake_journal_text[FAKE_JOURNAL_SIZE];
static size_t fake_journal_len;
static unsigned char* fake_sent;
static size_t fake_sent_len, fake_sent_cap;

static void fake_note(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    size_t room = FAKE_JOURNAL_SIZE - fake_journal_len;
    int n = vsnprintf(fake_journal_text + fake_journal_len, room, format, ap);
    va_end(ap);
    if (n > 0 && (size_t)n + 1 < room) {
        fake_journal_len += (size_t)n;
        fake_journal_text[fake_journal_len++] = '\n';
        fake_journal_text[fake_journal_len] = 0;
    }
}

/* Hex bytes "5F 3F 40 25", at most 64 of them, then "...". */
static void fake_hex(char* out, size_t size, const void* data, long n) {
    const unsigned char* b = (const unsigned char*)data;
    size_t at = 0;
    out[0] = 0;
    for (long i = 0; i < n && i < 64 && at + 4 < size; ++i)
        at += (size_t)snprintf(out + at, size - at, i ? " %02X" : "%02X", b[i]);
    if (n > 64 && at + 5 < size)
        snprintf(out + at, size - at, " ...");
}

static void fake_record(const void* data, long n) {
    if (n <= 0)
        return;
    if (fake_sent_len + (size_t)n > fake_sent_cap) {
        size_t cap = (fake_sent_len + (size_t)n) * 2;
        unsigned char* p = (unsigned char*)realloc(fake_sent, cap);
        if (!p)
            return;
        fake_sent = p;
        fake_sent_cap = cap;
    }
    memcpy(fake_sent + fake_sent_len, data, (size_t)n);
    fake_sent_len += (size_t)n;
}

static void fake_journal_reset(void) {
    fake_journal_len = 0;
    fake_journal_text[0] = 0;
    fake_sent_len = 0;
}

/* Replies for reads, in order. */
#define FAKE_REPLIES 16
struct fake_reply {
    char bytes[1024];
    long size;
    int status; /* library status of the read */
    int error;
};
static struct fake_reply fake_replies[FAKE_REPLIES];
static int fake_reply_first, fake_reply_count;

static void fake_push_reply(const char* bytes, long size, int status, int error) {
    if (fake_reply_count >= FAKE_REPLIES || size < 0 || size > 1024)
        return;
    struct fake_reply* r = &fake_replies[(fake_reply_first + fake_reply_count++) % FAKE_REPLIES];
    memcpy(r->bytes, bytes, (size_t)size);
    r->size = size;
    r->status = status;
    r->error = error;
}

/* A read of up to n bytes of the first reply, as an instrument's output
 * queue is read: the rest of a longer reply stays for the next read.
 * Returns 0 when no reply waits; `ended` tells whether the reply's last byte
 * was taken. */
struct fake_read {
    long count;
    int status, error, ended;
};
static int fake_read_reply(char* buffer, long n, struct fake_read* out) {
    if (fake_reply_count == 0)
        return 0;
    struct fake_reply* r = &fake_replies[fake_reply_first];
    long take = n < 0 ? 0 : (r->size < n ? r->size : n);
    memcpy(buffer, r->bytes, (size_t)take);
    out->count = take;
    out->status = r->status;
    out->error = r->error;
    out->ended = take == r->size;
    if (out->ended) {
        fake_reply_first = (fake_reply_first + 1) % FAKE_REPLIES;
        --fake_reply_count;
    } else {
        memmove(r->bytes, r->bytes + take, (size_t)(r->size - take));
        r->size -= take;
    }
    return 1;
}

/* The next call of one function (after `fake_fail_skip` calls of it that
 * succeed) fails with the given status and error. */
static char fake_fail_name[64];
static int fake_fail_status, fake_fail_error, fake_fail_skip;

static int fake_should_fail(const char* name) {
    if (fake_fail_name[0] && strcmp(fake_fail_name, name) == 0) {
        if (fake_fail_skip > 0) {
            --fake_fail_skip;
            return 0;
        }
        fake_fail_name[0] = 0;
        return 1;
    }
    return 0;
}

#define FAKE_EXPORT __attribute__((visibility("default")))

/* The control functions every fake exports, named after the fake. */
#define FAKE_CONTROL(prefix)                                                                       \
    FAKE_EXPORT const char* prefix##_journal(void) {                                               \
        return fake_journal_text;                                                                  \
    }                                                                                              \
    FAKE_EXPORT const unsigned char* prefix##_sent(long* size) {                                   \
        *size = (long)fake_sent_len;                                                               \
        return fake_sent;                                                                          \
    }                                                                                              \
    FAKE_EXPORT void prefix##_reply(const char* bytes, long size, int status, int error) {         \
        fake_push_reply(bytes, size, status, error);                                               \
    }                                                                                              \
    FAKE_EXPORT void prefix##_fail(const char* function, int status, int error) {                  \
        snprintf(fake_fail_name, sizeof fake_fail_name, "%s", function);                           \
        fake_fail_status = status;                                                                 \
        fake_fail_error = error;                                                                   \
        fake_fail_skip = 0;                                                                        \
    }                                                                                              \
    FAKE_EXPORT void prefix##_fail_later(const char* function, int skip, int status, int error) {  \
        snprintf(fake_fail_name, sizeof fake_fail_name, "%s", function);                           \
        fake_fail_status = status;                                                                 \
        fake_fail_error = error;                                                                   \
        fake_fail_skip = skip;                                                                     \
    }
