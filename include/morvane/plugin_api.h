/*
** Morvane: the contract between a chat host and the Morvane plug-in module.
**
** The host loads Morvane.dll (32-bit Windows) or Morvane.so (the native
** development build), resolves the six exports below by name and drives the
** plug-in only through them. The plug-in talks back only through the two
** callbacks it receives in PluginStart.
**
** Everything that crosses this boundary in either direction is a host record:
** a packed byte string of 32-bit little-endian signed integers and texts, a
** text being a 32-bit count of UTF-16 code units followed by that many
** UTF-16LE code units, with no terminator and no alignment. A record has no
** header; its byte length always travels beside it.
**
** Threads. The host calls every export from one thread, the thread that also
** dispatches its window messages (the plug-in's event timer runs there). The
** host callback is called from that thread and from the plug-in's one worker
** thread, which delivers the replies to scan requests; the host must accept
** both. The query callback is called only from the host's thread, inside an
** export.
**
** Nothing C++ crosses the boundary and no exception escapes an export.
*/
#ifndef MORVANE_PLUGIN_API_H
#define MORVANE_PLUGIN_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
** MORVANE_CALL is the calling convention of the exports and of both
** callbacks: stdcall (the callee removes the arguments) on 32-bit Windows,
** the platform's default elsewhere. Every argument and result is 32 bits wide
** on the Windows build.
*/
#if defined(_WIN32) && !defined(_WIN64)
#define MORVANE_CALL __stdcall
#else
#define MORVANE_CALL
#endif

/* MORVANE_EXPORT marks the six functions the module exports. */
#if defined(_WIN32)
#define MORVANE_EXPORT
#elif defined(__GNUC__)
#define MORVANE_EXPORT __attribute__((visibility("default")))
#else
#define MORVANE_EXPORT
#endif

/*
** The host callback: the plug-in posts a message or a command. The record is
** built for this one call and is valid only until the callback returns; the
** host copies what it wants to keep. The plug-in does not look at a result.
*/
typedef void(MORVANE_CALL* MorvaneHostCallback)(int32_t plugin_id, int32_t code, const void* record,
                                                int32_t record_length);

/*
** The host query callback: the plug-in asks for data. Called first with
** answer == NULL and answer_size == 0 to learn the answer's size in bytes,
** then, when that size is positive, again with a buffer of that size. The
** input record (may be NULL with length 0) is owned by the plug-in and valid
** for the call only. Returns the size of the answer in bytes; 0 or less means
** no answer.
*/
typedef int32_t(MORVANE_CALL* MorvaneHostQuery)(int32_t plugin_id, int32_t code, void* answer,
                                                int32_t answer_size, const void* input,
                                                int32_t input_length);

/*
** PluginStart (ordinal 6): the host hands over the plug-in id, which the
** plug-in passes back as the first argument of every callback call, and the
** two callbacks, which must stay callable until PluginStop returns. The
** plug-in reads Morvane.ini beside its module, asks the host query 2000 to
** choose its mode (0: it speaks as a virtual user of its own; anything else:
** as the host's user) and starts its worker thread.
** Returns 1 when the plug-in started, 0 when it refused (virtual-user mode
** with an empty virtual user Name or Password). Call PluginStop in both cases.
*/
MORVANE_EXPORT int32_t MORVANE_CALL PluginStart(int32_t plugin_id, MorvaneHostCallback callback,
                                                MorvaneHostQuery query);

/*
** PluginStop (ordinal 5): ends the plug-in's work: the event timer stops, the
** worker is told to end and waited for, and queued requests are dropped. Once
** PluginStop has begun the plug-in calls neither callback again. Copes with a
** refused start and with being called twice.
*/
MORVANE_EXPORT void MORVANE_CALL PluginStop(void);

/*
** PluginProcess (ordinal 3): the host reports a chat event. record points to
** the host record of the given code and record_length is its length in bytes;
** nothing at or past that length is read, and a short record reads as empty
** values. record may be NULL when record_length is 0. Codes of the other mode
** and unknown codes are ignored. Returns at once: any server query the event
** asks for is queued for the worker.
*/
MORVANE_EXPORT void MORVANE_CALL PluginProcess(int32_t code, const void* record,
                                               int32_t record_length);

/*
** PluginGetData (ordinal 4): the plug-in's self-description. Code 2800 answers
** the integer 0, code 2810 the display name "Morvane" as a host record text.
** With size 0 nothing is written and the answer's size in bytes is returned;
** with a buffer at least that large the answer is written at its start. A
** smaller buffer is left untouched (the size is still returned). Any other code
** returns 0 and writes nothing. Works whether or not PluginStart has run. The
** two reserved arguments are not read.
*/
MORVANE_EXPORT int32_t MORVANE_CALL PluginGetData(int32_t code, int32_t reserved1,
                                                  int32_t reserved2, void* buffer, int32_t size);

/*
** PluginShowOptions (ordinal 2): opens Morvane.ini with the program the system
** associates with it, when the file exists. Works before PluginStart.
*/
MORVANE_EXPORT void MORVANE_CALL PluginShowOptions(void);

/*
** PluginShowAbout (ordinal 1): shows the About box and returns the message
** box's own result when the user closes it. Works before PluginStart.
*/
MORVANE_EXPORT int32_t MORVANE_CALL PluginShowAbout(void);

#ifdef __cplusplus
}
#endif

#endif /* MORVANE_PLUGIN_API_H */
