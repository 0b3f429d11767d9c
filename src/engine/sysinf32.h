#pragma once
// Model-information module: the supported instrument models (interfaces,
// memory sizes, channels, ranges, limits and command scripts), read from the
// model file, and the checks of set-up values against them.
//
// Conventions kept for every entry point:
// - `model` is the 0-based index in the model list.
// - A device record is the 328-byte form of the set-up record (offsets in
//   engine/DeviceRecord.h); calls that take one may change any of its fields.
//   They never touch the display-unit fields, OutputState or OffsetOn, which
//   belong to the program.
// - Name buffers are 20 bytes, written space-padded without a terminator.
// - Text buffers of 512 bytes (error file name, frequency warning) are written
//   NUL-terminated, in the system code page (UTF-8).
// - Truth values are -1 (true) and 0 (false). Every Change... call returns -1
//   when it updated the record and 0 when it refused (bad index, value that is
//   not a number, a setting the model does not have); the record is then left
//   as it was.
// - A bad model, channel, range or choice index never reaches outside the
//   model tables: counts read 0, names read blank, records are left alone.

#include <cstdint>

// Our own configuration call: the model file that SysInitDeviceInfo reads
// (default "models.toml" in the current folder). Call it before
// SysInitDeviceInfo. A null path restores the default.
void SysSetModelFile(const char* path);

// Reads the model file. 0 on success; -30 the file is missing, -20 it cannot
// be read, -10 out of memory, -2 a TOML syntax error, -1 a bad value. After a
// failure the module holds no models and the error file name and line tell
// where the fault is.
int32_t SysInitDeviceInfo();
int32_t SysGetSysErrorLineNo();
// Writes the file name of the last failure; returns its length in bytes.
int32_t SysGetSysErrorFileName(char* buffer512);

int32_t SysGetDeviceCnt();
// Returns 1 and writes the name, or 0 for a bad index (buffer blanked).
int32_t SysGetDeviceName(int16_t model, char* name20);
// Fills the record for model `model` keeping its current settings: the model's
// fixed values (name, limits, flags, DefaultArbSend, model words and reals)
// are written, and the record's own address, memory size, memory number,
// channel, range, frequency, amplitude and offset are fitted into the model's
// limits (an index beyond a list becomes the last entry). -1, or 0 for a bad
// model index.
int32_t SysGetDeviceInfo(int16_t model, uint8_t* record);
// Fills the record with the model's initial settings. -1, or 0 for a bad index.
int32_t SysGetInitDeviceInfo(int16_t model, uint8_t* record);
// Command table `item` (0 main, 1 final, 2 set-up steps, 3 waveform steps):
// 50 keys of 8 bytes, then 50 texts of 64 bytes, space-padded (3600 bytes).
// Returns the rows in use; 0 (table blanked) for a bad model or item.
int32_t SysGetGPIBInfo(int16_t model, int32_t item, uint8_t* table3600);

// Interface mask: bit 0 or 2 NI GPIB, bit 1 KI GPIB, bit 3 USB(TMC).
int32_t SysGetInterfaceInfo(int16_t model);
// Interface kinds 0 NI GPIB, 1 KI GPIB, 2 USB488, 3 USB(TMC), 4 simulated bus.
int16_t SysChangeInterface(int16_t model, int32_t interfaceKind, uint8_t* record);

int32_t SysGetMemorySizeCnt(int16_t model);
int32_t SysGetMemorySizeName(int16_t model, int32_t choice, char* name20);
int16_t SysChangeMemorySize(int16_t model, int32_t choice, uint8_t* record);

int32_t SysGetChannelCnt(int16_t model);
int32_t SysGetChannelName(int16_t model, int32_t channel, char* name20);
int16_t SysChangeChannel(int16_t model, int16_t channel, uint8_t* record);

int32_t SysGetRangeCnt(int16_t model, int16_t channel);
int32_t SysGetRangeName(int16_t model, int16_t channel, int32_t range, char* name20);
int16_t SysChangeRange(int16_t model, int16_t channel, int16_t range, uint8_t* record);

// Non-zero when `frequency` times the model's current point count exceeds its
// largest sample rate; the warning text (English when `english` is non-zero,
// else Japanese) is then written into the buffer.
int32_t SysCheckFrequency(int16_t model, int16_t channel, int16_t english, double frequency,
                          char* text512);
int16_t SysChangeFrequency(int16_t model, int16_t channel, double frequency, uint8_t* record);
int16_t SysChangeAmplitude(int16_t model, int16_t channel, int16_t range, double amplitude,
                           uint8_t* record);
int16_t SysChangeOffset(int16_t model, int16_t channel, int16_t range, double offset,
                        uint8_t* record);
