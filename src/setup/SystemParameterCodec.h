#pragma once
// The 328-byte form of the system-parameter record that crosses to the
// model-information module (little-endian integers, IEEE doubles, text in the
// system code page, space-padded).

#include "setup/SystemParameter.h"

#include <array>
#include <cstdint>

namespace velda {

constexpr size_t LibraryFormSize = 328;
using LibraryForm = std::array<uint8_t, LibraryFormSize>;

LibraryForm toLibraryForm(const SystemParameter& p);
// Reads a record of LibraryFormSize bytes. Text fields come back at their full
// width (space-padded) whatever the bytes held.
SystemParameter fromLibraryForm(const uint8_t* bytes);

} // namespace velda
