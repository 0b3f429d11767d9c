/* A stand-in for the USB488 device library: devices with the identifiers the
 * test names are present; every call is journalled; text reads are answered
 * from replies the test queues. */
#include "../fake_journal.h"

static int status, error;
static long count;
static char devices[128] = "3,4,5";

FAKE_CONTROL(fake_usb)

FAKE_EXPORT void fake_usb_reset(const char* present) {
    fake_journal_reset();
    fake_reply_count = 0;
    fake_fail_name[0] = 0;
    snprintf(devices, sizeof devices, "%s", present);
    status = error = 0;
    count = 0;
}

static int done(const char* name) {
    if (fake_should_fail(name)) {
        status = fake_fail_status;
        error = fake_fail_error;
    } else {
        status = 0;
        error = 0;
    }
    return 0;
}

static int listed(int id) {
    char copy[128];
    snprintf(copy, sizeof copy, "%s", devices);
    for (char* t = strtok(copy, ","); t; t = strtok(NULL, ","))
        if (atoi(t) == id)
            return 1;
    return 0;
}

FAKE_EXPORT int UsbInitialize(void) {
    fake_note("Initialize");
    return done("UsbInitialize");
}
FAKE_EXPORT int UsbOpenDevice(int id) {
    fake_note("OpenDevice %d", id);
    if (!listed(id)) {
        status = 0x8000;
        error = 0;
        return -1;
    }
    done("UsbOpenDevice");
    return 100 + id;
}
FAKE_EXPORT int UsbCLS(int h) {
    fake_note("CLS %d", h);
    return done("UsbCLS");
}
FAKE_EXPORT int UsbDevClear(int h, int mode) {
    fake_note("DevClear %d %d", h, mode);
    return done("UsbDevClear");
}
FAKE_EXPORT int UsbCloseDevice(int h) {
    fake_note("CloseDevice %d", h);
    return done("UsbCloseDevice");
}
FAKE_EXPORT int UsbSetTimeout(int h, long ms) {
    fake_note("SetTimeout %d %ld", h, ms);
    return done("UsbSetTimeout");
}
FAKE_EXPORT int UsbEnableRemote(int h) {
    fake_note("EnableRemote %d", h);
    return done("UsbEnableRemote");
}
FAKE_EXPORT int UsbEnableLocal(int h) {
    fake_note("EnableLocal %d", h);
    return done("UsbEnableLocal");
}
FAKE_EXPORT int UsbSendLLO(int h) {
    fake_note("SendLLO %d", h);
    return done("UsbSendLLO");
}
FAKE_EXPORT int UsbSetIFC(int h) {
    fake_note("SetIFC %d", h);
    return done("UsbSetIFC");
}
FAKE_EXPORT int UsbSendTextData(int h, const char* text) {
    fake_note("SendTextData %d %s", h, text);
    fake_record(text, (long)strlen(text));
    return done("UsbSendTextData");
}
FAKE_EXPORT int UsbReceiveTextData(int h, char* buffer, int length) {
    fake_note("ReceiveTextData %d %d", h, length);
    struct fake_read r;
    if (!fake_read_reply(buffer, length, &r)) {
        status = 0x4000 | 0x8000; /* time-out */
        error = 6;
        count = 0;
        return 0;
    }
    count = r.count;
    status = r.status;
    error = r.error;
    return 0;
}
FAKE_EXPORT int UsbSendBinary(int h, const void* words, long n, int size) {
    char hex[256];
    fake_hex(hex, sizeof hex, words, n * 2);
    fake_note("SendBinary %d %ld %d %s", h, n, size, hex);
    fake_record(words, n * 2);
    return done("UsbSendBinary");
}
FAKE_EXPORT int UsbGetStatus(void) {
    return status;
}
FAKE_EXPORT int UsbGetErrorCode(void) {
    return error;
}
FAKE_EXPORT long UsbGetDataCount(void) {
    return count;
}
