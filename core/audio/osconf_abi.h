#pragma once
// The contract between the program and an audio configuration library ("osConfLib"): eleven
// C entry points, looked up by name after the library is loaded. Shared by the loader and the
// libraries built in this repository; plain C types only, so any library can implement it.
//
// Every entry point returns 0 for success. Devices come in two flows (0 playback, 1
// recording). A property is read (set 0) or written (set 1) through two buffers of
// OSCONF_BUFFER_SIZE bytes, passed as the address of the pointer to each buffer:
//  - writing: the first 4 bytes of the value buffer hold a 32-bit integer or float (the
//    property decides which); the library reads nothing past them;
//  - reading: the library answers with NUL-terminated wide text in the value buffer, never
//    writing past OSCONF_BUFFER_SIZE bytes;
//  - the parameter buffer carries a 32-bit channel or mode in its first 4 bytes where a
//    property uses one (-1 the master channel, 0 the monitoring path).

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OSCONF_BUFFER_SIZE 1024

enum { OSCONF_FLOW_PLAYBACK = 0, OSCONF_FLOW_RECORDING = 1 };

// Filled by GetDeviceById. word[0] flow, word[1] device type, word[2] index within the flow,
// word[3] 1 when the device can be used.
typedef struct OsConfDevice {
    int32_t word[4];
} OsConfDevice;

typedef void (*OsConfCallback)(int event, void* context);

typedef int (*ConfLibInitFn)(void);
typedef int (*ConfLibUnInitFn)(void);
typedef int (*CreateDeviceListFn)(void);
typedef int (*GetDeviceCountFn)(int flow, int* count);
typedef int (*GetDeviceByIdFn)(int flow, int index, OsConfDevice* device);
typedef int (*PropertyControlFn)(OsConfDevice device, const wchar_t* name, void** value,
                                 void** parameter, int set);
typedef int (*RegisterCallbackFunctionFn)(OsConfCallback callback, void* context);
typedef int (*ShowAsioPanelFn)(void);
typedef int (*PlayTestSoundFn)(OsConfDevice device, const wchar_t* file);
typedef int (*StopTestSoundFn)(OsConfDevice device);
typedef int (*CloseTestSoundFn)(OsConfDevice device);

#ifdef __cplusplus
}
#endif
