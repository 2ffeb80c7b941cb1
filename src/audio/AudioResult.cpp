#include "audio/AudioResult.h"

namespace vestrel {

const char* audioErrorString(AudioResult result) {
    switch (result) {
        case AudioResult::Ok:
            return "No errors.";
        case AudioResult::AlreadyInitialized:
            return "The audio system is already initialised.";
        case AudioResult::Uninitialized:
            return "The audio system is not initialised.";
        case AudioResult::InvalidParam:
            return "An invalid parameter was passed to this function.";
        case AudioResult::InvalidHandle:
            return "An invalid object handle was used.";
        case AudioResult::FileNotFound:
            return "File not found.";
        case AudioResult::FileBad:
            return "Error loading file: the file is not a supported sound format or is corrupt.";
        case AudioResult::OutputInit:
            return "Error initializing output device.";
        case AudioResult::Unsupported:
            return "The requested operation is not supported by this output.";
        case AudioResult::Internal:
            return "An error occurred in the OpenAL back end.";
    }
    return "Unknown error.";
}

}  // namespace vestrel
