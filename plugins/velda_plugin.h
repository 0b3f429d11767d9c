/* Import plug-ins for VELDA.
 *
 * A plug-in is a shared library that reads one kind of foreign file and hands
 * the program its points as 16-bit data words (-32767 bottom of the scale to
 * +32767 top). It exports the C functions below. The program loads every
 * library it finds in its plug-in folders; a library that reports another
 * interface version, or lacks one of the functions, is skipped (with a line
 * on stderr).
 *
 * Order of calls for one import:
 *   velda_plugin_begin(path, &handle, &points, &start)   0 = the file is usable
 *   velda_plugin_seek(handle, start)                       only when start > 0
 *   velda_plugin_read(handle, words, &count)               repeated; count in:
 *                                                          wanted (at most
 *                                                          VELDA_PLUGIN_BLOCK),
 *                                                          out: delivered
 *   velda_plugin_end(handle)                               always after a
 *                                                          successful begin
 * Every function returning int returns 0 on success. A plug-in keeps all of
 * its state behind the handle, so several imports may be open at once. Text
 * is UTF-8. The program reads at most its memory size of points.
 */
#ifndef VELDA_PLUGIN_H
#define VELDA_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The functions are exported even when a plug-in hides its other symbols. */
#if defined(__GNUC__)
#define VELDA_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define VELDA_PLUGIN_EXPORT
#endif

/* The interface this header describes. */
#define VELDA_PLUGIN_INTERFACE 1
/* Largest number of words the program asks for in one read. */
#define VELDA_PLUGIN_BLOCK 500

/* VELDA_PLUGIN_INTERFACE of the header the plug-in was built with. */
VELDA_PLUGIN_EXPORT int velda_plugin_interface(void);
/* Name shown in the open dialog (at most 64 characters are shown). */
VELDA_PLUGIN_EXPORT const char* velda_plugin_name(void);
/* File extensions without dots, separated by ';' (for example "wav;flac"). */
VELDA_PLUGIN_EXPORT const char* velda_plugin_extensions(void);
/* Opens `path`. On success *handle is the plug-in's read handle, *start the
 * position to seek to before reading (0: from the beginning) and *points the
 * number of points to read from there on. */
VELDA_PLUGIN_EXPORT int velda_plugin_begin(const char* path, void** handle, int32_t* points,
                                           int32_t* start);
/* Positions the next read at point `position`. */
VELDA_PLUGIN_EXPORT int velda_plugin_seek(void* handle, int32_t position);
/* Reads up to *count points into words; *count receives the number read. */
VELDA_PLUGIN_EXPORT int velda_plugin_read(void* handle, int16_t* words, int32_t* count);
/* Ends the reading and frees the handle. */
VELDA_PLUGIN_EXPORT void velda_plugin_end(void* handle);

#ifdef __cplusplus
}
#endif

#endif
