/* A stand-in for the text-command GPIB board library: journals every
 * command text, records the words of ieee_tarray and answers ieee_receive
 * from replies the test queues. */
#include "../fake_journal.h"

static int present = 1;

FAKE_CONTROL(fake_ki)

FAKE_EXPORT void fake_ki_reset(int boardPresent) {
    fake_journal_reset();
    fake_reply_count = 0;
    fake_fail_name[0] = 0;
    present = boardPresent;
}

static int outcome(const char* name) {
    return fake_should_fail(name) ? fake_fail_status : 0;
}

FAKE_EXPORT int ieee_board_present(void) {
    fake_note("board_present");
    return present;
}
FAKE_EXPORT void ieee_initialize(int myAddress, int level) {
    fake_note("initialize %d %d", myAddress, level);
}
FAKE_EXPORT void ieee_transmit(const char* command, int length, int* status) {
    fake_note("transmit %s|%d", command, length);
    fake_record(command, (long)strlen(command));
    fake_record("\n", 1);
    *status = outcome("ieee_transmit");
}
FAKE_EXPORT void ieee_receive(char* buffer, int size, int* length, int* status) {
    fake_note("receive %d", size);
    struct fake_read r;
    if (!fake_read_reply(buffer, size, &r)) {
        *length = 0;
        *status = 0x08; /* time-out */
        return;
    }
    *length = (int)r.count;
    *status = r.status;
}
FAKE_EXPORT void ieee_tarray(const void* words, long bytes, int eoi, int* status) {
    char hex[256];
    fake_hex(hex, sizeof hex, words, bytes);
    fake_note("tarray %ld %d %s", bytes, eoi, hex);
    fake_record(words, bytes);
    *status = outcome("ieee_tarray");
}
FAKE_EXPORT void ieee_settimeout(long ms) {
    fake_note("settimeout %ld", ms);
}
FAKE_EXPORT void ieee_setinputEOS(int c) {
    fake_note("setinputEOS %d", c);
}
