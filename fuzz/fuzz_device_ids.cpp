// The device-identifier file (USBTMC.ID) read at start-up: any bytes, then
// the look-up the USB(TMC) resource name is built from.
#include "app/DeviceIds.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velda::DeviceIdTable table;
    const int result = table.loadText(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    // A table that loaded has a line; one that did not is empty.
    if ((result == velda::DeviceIdTable::Loaded) == table.pairs().empty())
        std::abort();
    // The first pair is found by its own key.
    if (!table.pairs().empty() &&
        table.Find_DeviceId(table.pairs().front().first) != table.pairs().front().second)
        std::abort();
    return 0;
}
