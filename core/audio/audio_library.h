#pragma once
// Finds and loads the audio configuration library and resolves its eleven entry points by
// name. The program drives the library only through these pointers.

#include <string>
#include <string_view>

#include "core/audio/osconf_abi.h"

namespace tellune::audio {

// The real library (on ALSA) and the emulated chip, as built in this repository.
inline constexpr std::string_view kAlsaLibraryName = "libosConfLib.so";
inline constexpr std::string_view kEmulatedLibraryName = "libosConfLib-emulated.so";

// The machine architecture the program was built for ("x86_64", "aarch64", ...): a library
// must match the process, whatever the kernel runs.
std::string_view build_architecture();
// program data folder + "SDK/" + architecture + "/" + file name.
std::string sdk_library_path(std::string_view file_name);

class AudioLibrary {
public:
    AudioLibrary() = default;
    ~AudioLibrary();  // unloads
    AudioLibrary(const AudioLibrary&) = delete;
    AudioLibrary& operator=(const AudioLibrary&) = delete;

    // Loads `path` (its own dependencies are found beside it through its run path) and
    // resolves the entry points. True when the library loaded; an entry point it lacks stays
    // null and `complete()` tells. A loaded library is unloaded first.
    bool load(const std::string& path);
    void unload();
    bool loaded() const { return handle_ != nullptr; }
    // Every one of the eleven names was found.
    bool complete() const;
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }
    // Any other symbol of the library (test hooks of the emulated chip), or null.
    void* symbol(const char* name) const;

    ConfLibInitFn ConfLibInit = nullptr;
    CreateDeviceListFn CreateDeviceList = nullptr;
    GetDeviceCountFn GetDeviceCount = nullptr;
    GetDeviceByIdFn GetDeviceById = nullptr;
    PropertyControlFn PropertyControl = nullptr;
    RegisterCallbackFunctionFn RegisterCallbackFunction = nullptr;
    ConfLibUnInitFn ConfLibUnInit = nullptr;
    ShowAsioPanelFn ShowAsioPanel = nullptr;
    PlayTestSoundFn PlayTestSound = nullptr;
    StopTestSoundFn StopTestSound = nullptr;
    CloseTestSoundFn CloseTestSound = nullptr;

private:
    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};

}  // namespace tellune::audio
