/* The public C header for engine plug-ins: shared libraries that a game places
 * in "DLL/" under its game root and that the engine loads with dlopen at
 * start-up. Every entry point uses the C calling convention and Shift-JIS text. */
#ifndef ZEL_PLUGIN_H
#define ZEL_PLUGIN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Line rewriting, "DLL/SCRREP.so" (optional).
 *
 * Called for every script source line before the reader interprets it, while
 * the script has replacement switched on. line points to a buffer of
 * ZEL_SRREPLACE_BUFFER_SIZE bytes that holds the line as NUL-terminated text;
 * the plug-in rewrites it in place. The engine reads the new line up to the
 * first NUL, at most ZEL_SRREPLACE_BUFFER_SIZE bytes. Lines that do not fit
 * the buffer (or hold a NUL byte) are never passed and stay unchanged. */
#define ZEL_SRREPLACE_BUFFER_SIZE 1024

typedef void (*ZelSRReplaceFn)(char* line);
void SRReplace(char* line);

#ifdef __cplusplus
}
#endif

#endif /* ZEL_PLUGIN_H */
