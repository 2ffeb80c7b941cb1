#pragma once

namespace vestrel {

// Result code of every operation of the audio back end. Zero is success; the
// numbers are stable because the game prints them ("Error Code: 7").
enum class AudioResult : int {
    Ok = 0,
    AlreadyInitialized = 1,  // init called twice, or setOutput after init
    Uninitialized = 2,       // the system was never initialised, or has been closed
    InvalidParam = 3,        // a value out of range (channel count, distance order, ...)
    InvalidHandle = 4,       // a sound or channel that was released, stopped, finished or stolen
    FileNotFound = 5,        // the sound file cannot be opened
    FileBad = 6,             // the file opened but is not a sound libsndfile can decode
    OutputInit = 7,          // neither a playback device nor the silent output could be opened
    Unsupported = 8,         // the operation does not exist for this output
    Internal = 9,            // OpenAL refused a call it should have accepted
};

// Text for a result code; never null. Unknown codes get "Unknown error.".
const char* audioErrorString(AudioResult result);

// The code as the number printed after "Error Code: ".
inline int audioErrorCode(AudioResult result) { return static_cast<int>(result); }

}  // namespace vestrel
