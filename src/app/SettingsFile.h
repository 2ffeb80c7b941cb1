#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace vestrel {

// The player's settings that outlive a run: how the view turns, how loud the
// game is, how bright and how wide the picture is, captions and full screen.
// They live in a plain text file, one "key = value" per line, with lines
// starting with '#' or ';' as comments:
//
//     look_sensitivity = 0.1
//     invert_y = false
//
// This class is the file's one owner: it reads it, checks every value and
// writes it back. Run-time switches (the function keys) stay in GameSettings;
// the Game applies these values to the level, the sound and the window.
//
// Reading never stops the game. Every problem is reported as one line naming
// the path (and the line number): a line that is not "key = value", a value
// of the wrong kind (replaced by the default), a value out of range (clamped),
// a key set twice (the last one counts), an unknown key (kept). A file that
// cannot be read, or is not text at all, is reported and left as it is: the
// run uses the defaults and does not write over it.
//
// Writing goes to a new file beside the old one that then replaces it in one
// rename, so the old file stays whole if the game dies while writing. Lines
// the game does not know are written back as they were; known keys get their
// current values in place; keys changed in this run and missing from the
// file are added at the end. Nothing is written unless a setting changed.
class SettingsFile {
public:
    struct Values {
        float lookSensitivity = 0.1f;  // degrees per pixel of mouse motion
        bool invertY = false;          // pushing the mouse forward looks down
        float masterVolume = 100.0f;   // percent, every sound
        float effectsVolume = 100.0f;  // percent, every sound but the ambience
        float brightness = 0.1f;       // the ambient light level
        float fieldOfView = 60.0f;     // degrees, vertical
        bool captions = true;
        bool fullscreen = false;  // at the desktop's resolution

        bool operator==(const Values& other) const;
        bool operator!=(const Values& other) const { return !(*this == other); }
    };

    enum class Key : int {
        LookSensitivity,
        InvertY,
        MasterVolume,
        EffectsVolume,
        Brightness,
        FieldOfView,
        Captions,
        Fullscreen,
    };
    static constexpr int kKeyCount = 8;

    // How one setting is written and checked. Numbers lie in [min, max] and
    // step by `step` in the pause menu; switches are 0 or 1.
    struct Field {
        Key key;
        const char* name;  // as in the file
        bool isSwitch;
        float min;
        float max;
        float step;
        int decimals;  // shown in the menu
    };
    static const std::array<Field, kKeyCount>& fields();
    static const Field& field(Key key);

    // One setting as a number (switches 0 or 1), and back; setting clamps
    // a number into its range.
    static float get(const Values& values, Key key);
    static void set(Values& values, Key key, float value);

    // The file for an environment: $XDG_CONFIG_HOME/vestrel/settings.ini when
    // XDG_CONFIG_HOME is an absolute path, else $HOME/.config/vestrel/settings.ini;
    // "" when neither is set.
    using Environment = std::function<const char*(const char*)>;
    static std::string defaultPath(const Environment& environment);

    // Files larger than this are not taken for settings files.
    static constexpr std::size_t kMaxBytes = 64 * 1024;

    explicit SettingsFile(std::string path = {});

    const std::string& path() const { return path_; }

    // Reads the file. A missing file (or no path) gives the defaults and no
    // report. Problems are appended to `report`, one line each. Returns true
    // when a file was read (damaged or not).
    bool load(std::vector<std::string>& report);

    // The values read (defaults where the file had none or a bad one), with
    // every change remembered since.
    const Values& values() const { return values_; }

    // Takes `key`'s value from `current` as the one to keep, and marks it
    // for the next save when it differs from what the file holds.
    void remember(const Values& current, Key key);

    // True when a remembered change has not been written yet.
    bool hasUnsavedChanges() const { return !unsaved_.empty(); }

    // Keeps changes for this run only: a replay must not write the player's
    // file. `reason` is reported when a save is asked for.
    void holdWrites(std::string reason) { heldReason_ = std::move(reason); }

    // Writes the file when a change is unsaved. Returns true when the file
    // holds every change afterwards; otherwise appends why to `report`.
    bool save(std::vector<std::string>& report);

    // The file's text as save would write it.
    std::string text() const;

    // Writes `text` to `path` through a new file in the same folder (created
    // with its parents when missing) that then replaces `path` in one
    // rename. `afterPart`, when given, is called once part of the new file
    // has been written (tests end the process there). False with `error`
    // when anything fails; the old file is then untouched.
    static bool writeAtomically(const std::string& path, const std::string& text, std::string& error,
                                const std::function<void()>& afterPart = {});

private:
    struct Line {
        std::string text;  // as read, without the line break
        int key = -1;      // the Key the line sets, or -1
    };

    void readLine(const std::string& text, int number, std::vector<std::string>& report, std::set<int>& seen);
    std::string where(int line) const;
    static std::string valueText(const Field& field, float value);

    std::string path_;
    Values values_;
    std::vector<Line> lines_;
    std::set<int> unsaved_;    // keys changed since the last save
    std::set<int> inFile_;     // keys the file sets
    std::string notWritable_;  // why this file must not be written over
    std::string heldReason_;
};

}  // namespace vestrel
