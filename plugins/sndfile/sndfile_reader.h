#pragma once
// Sound files as data words: the reading rule of the sound-file import
// plug-in. Whatever libsndfile reads (WAV, AIFF, FLAC, Ogg, ...): the first
// channel; 16-bit samples as they are (-32768 read as -32767); samples of any
// other format scaled to the full scale (+-1.0 becomes +-32767), rounded to
// the nearest word and clipped.

#include <cstddef>
#include <cstdint>
#include <sndfile.h>

namespace velda::plugin {

struct SoundReader;

// Opens a file, or a sound held in memory (the bytes must stay valid until
// Sound_Close). Nothing on failure.
SoundReader* Sound_Open(const char* path);
SoundReader* Sound_Open_Memory(const void* bytes, size_t size);
// Number of frames (points) in the sound.
int64_t Sound_Frames(const SoundReader* r);
bool Sound_Seek(SoundReader* r, int64_t frame);
// Reads up to `count` points; returns the number read, -1 on failure.
int64_t Sound_Read(SoundReader* r, int16_t* words, int64_t count);
void Sound_Close(SoundReader* r);

} // namespace velda::plugin
