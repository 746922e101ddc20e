#include "core/audio/audio_library.h"

#include <dlfcn.h>

#include "core/platform/platform.h"

#ifndef TELLUNE_ARCHITECTURE
#define TELLUNE_ARCHITECTURE "unknown"
#endif

namespace tellune::audio {

std::string_view build_architecture() {
    return TELLUNE_ARCHITECTURE;
}

std::string sdk_library_path(std::string_view file_name) {
    std::string path = program_data_folder() + "SDK/";
    path += build_architecture();
    path += '/';
    path += file_name;
    return path;
}

AudioLibrary::~AudioLibrary() {
    unload();
}

namespace {

template <class Fn>
void resolve(void* handle, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

bool AudioLibrary::load(const std::string& path) {
    unload();
    path_ = path;
    dlerror();
    // Local: the library's names must not stand in for anyone else's.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? why : "not loaded";
        debug_printf("audio library not loaded: %s", error_.c_str());
        return false;
    }
    error_.clear();
    resolve(handle_, "ConfLibInit", ConfLibInit);
    resolve(handle_, "CreateDeviceList", CreateDeviceList);
    resolve(handle_, "GetDeviceCount", GetDeviceCount);
    resolve(handle_, "GetDeviceById", GetDeviceById);
    resolve(handle_, "PropertyControl", PropertyControl);
    resolve(handle_, "RegisterCallbackFunction", RegisterCallbackFunction);
    resolve(handle_, "ConfLibUnInit", ConfLibUnInit);
    resolve(handle_, "ShowAsioPanel", ShowAsioPanel);
    resolve(handle_, "PlayTestSound", PlayTestSound);
    resolve(handle_, "StopTestSound", StopTestSound);
    resolve(handle_, "CloseTestSound", CloseTestSound);
    if (!complete()) debug_printf("audio library incomplete: %s", path.c_str());
    return true;
}

void AudioLibrary::unload() {
    ConfLibInit = nullptr;
    CreateDeviceList = nullptr;
    GetDeviceCount = nullptr;
    GetDeviceById = nullptr;
    PropertyControl = nullptr;
    RegisterCallbackFunction = nullptr;
    ConfLibUnInit = nullptr;
    ShowAsioPanel = nullptr;
    PlayTestSound = nullptr;
    StopTestSound = nullptr;
    CloseTestSound = nullptr;
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

bool AudioLibrary::complete() const {
    return ConfLibInit && CreateDeviceList && GetDeviceCount && GetDeviceById && PropertyControl &&
           RegisterCallbackFunction && ConfLibUnInit && ShowAsioPanel && PlayTestSound &&
           StopTestSound && CloseTestSound;
}

void* AudioLibrary::symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace tellune::audio
