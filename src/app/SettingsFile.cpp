#include "app/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace vestrel {

namespace {

using Key = SettingsFile::Key;

// The look rate, the ambient level and the field of view default to the
// game's own values; the ranges keep the view controllable and the picture
// sane.
const std::array<SettingsFile::Field, SettingsFile::kKeyCount> kFields{{
    {Key::LookSensitivity, "look_sensitivity", false, 0.01f, 1.0f, 0.01f, 2},
    {Key::InvertY, "invert_y", true, 0.0f, 1.0f, 1.0f, 0},
    {Key::MasterVolume, "master_volume", false, 0.0f, 100.0f, 10.0f, 0},
    {Key::EffectsVolume, "effects_volume", false, 0.0f, 100.0f, 10.0f, 0},
    {Key::Brightness, "brightness", false, 0.0f, 1.0f, 0.05f, 2},
    {Key::FieldOfView, "field_of_view", false, 45.0f, 90.0f, 5.0f, 0},
    {Key::Captions, "captions", true, 0.0f, 1.0f, 1.0f, 0},
    {Key::Fullscreen, "fullscreen", true, 0.0f, 1.0f, 1.0f, 0},
}};

constexpr const char* kHeader =
    "# Vestrel settings. The game writes this file when a setting is changed in\n"
    "# its pause menu; lines it does not know are kept as they are.\n";

std::string trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool readSwitch(const std::string& text, float& value) {
    const std::string word = lower(text);
    if (word == "true" || word == "1" || word == "yes" || word == "on") {
        value = 1.0f;
        return true;
    }
    if (word == "false" || word == "0" || word == "no" || word == "off") {
        value = 0.0f;
        return true;
    }
    return false;
}

bool readNumber(const std::string& text, float& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(number)) return false;
    value = static_cast<float>(number);
    return std::isfinite(value);
}

// Text with bytes no settings file has: NUL and the other control
// characters but tab, line breaks and the form feed.
bool looksBinary(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f';
    });
}

std::string systemError(int code) { return std::generic_category().message(code); }

}  // namespace

bool SettingsFile::Values::operator==(const Values& other) const {
    for (const Field& f : kFields) {
        if (get(*this, f.key) != get(other, f.key)) return false;
    }
    return true;
}

const std::array<SettingsFile::Field, SettingsFile::kKeyCount>& SettingsFile::fields() { return kFields; }

const SettingsFile::Field& SettingsFile::field(Key key) { return kFields[static_cast<std::size_t>(key)]; }

float SettingsFile::get(const Values& values, Key key) {
    switch (key) {
        case Key::LookSensitivity:
            return values.lookSensitivity;
        case Key::InvertY:
            return values.invertY ? 1.0f : 0.0f;
        case Key::MasterVolume:
            return values.masterVolume;
        case Key::EffectsVolume:
            return values.effectsVolume;
        case Key::Brightness:
            return values.brightness;
        case Key::FieldOfView:
            return values.fieldOfView;
        case Key::Captions:
            return values.captions ? 1.0f : 0.0f;
        case Key::Fullscreen:
            return values.fullscreen ? 1.0f : 0.0f;
    }
    return 0.0f;
}

void SettingsFile::set(Values& values, Key key, float value) {
    const Field& f = field(key);
    if (!std::isfinite(value)) value = get(Values{}, key);
    value = std::clamp(value, f.min, f.max);
    switch (key) {
        case Key::LookSensitivity:
            values.lookSensitivity = value;
            break;
        case Key::InvertY:
            values.invertY = value >= 0.5f;
            break;
        case Key::MasterVolume:
            values.masterVolume = value;
            break;
        case Key::EffectsVolume:
            values.effectsVolume = value;
            break;
        case Key::Brightness:
            values.brightness = value;
            break;
        case Key::FieldOfView:
            values.fieldOfView = value;
            break;
        case Key::Captions:
            values.captions = value >= 0.5f;
            break;
        case Key::Fullscreen:
            values.fullscreen = value >= 0.5f;
            break;
    }
}

std::string SettingsFile::defaultPath(const Environment& environment) {
    const char* config = environment ? environment("XDG_CONFIG_HOME") : nullptr;
    // A relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    if (config != nullptr && config[0] == '/') return std::string(config) + "/vestrel/settings.ini";
    const char* home = environment ? environment("HOME") : nullptr;
    if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/vestrel/settings.ini";
    return {};
}

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

std::string SettingsFile::where(int line) const { return path_ + ":" + std::to_string(line) + ": "; }

std::string SettingsFile::valueText(const Field& f, float value) {
    if (f.isSwitch) return value >= 0.5f ? "true" : "false";
    std::ostringstream out;
    out << value;
    return out.str();
}

bool SettingsFile::load(std::vector<std::string>& report) {
    values_ = Values{};
    lines_.clear();
    unsaved_.clear();
    inFile_.clear();
    notWritable_.clear();
    if (path_.empty()) return false;

    std::error_code error;
    const auto status = std::filesystem::status(path_, error);
    if (!std::filesystem::exists(status)) return false;
    if (!std::filesystem::is_regular_file(status)) {
        notWritable_ = "it is not a file";
        report.push_back(path_ + ": can't read settings (not a file); using the defaults");
        return false;
    }
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        notWritable_ = "it can't be read";
        report.push_back(path_ + ": can't read settings (" + systemError(errno) + "); using the defaults");
        return false;
    }
    std::string text;
    text.resize(kMaxBytes + 1);
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        notWritable_ = "it can't be read";
        report.push_back(path_ + ": can't read settings (read error); using the defaults");
        return false;
    }
    if (text.size() > kMaxBytes) {
        notWritable_ = "it is not a settings file";
        report.push_back(path_ + ": not a settings file (larger than " + std::to_string(kMaxBytes / 1024) +
                         " KiB); using the defaults and leaving it as it is");
        return true;
    }
    if (looksBinary(text)) {
        notWritable_ = "it is not a settings file";
        report.push_back(path_ +
                         ": not a settings file (binary data); using the defaults and leaving it as it is");
        return true;
    }

    std::set<int> seen;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        readLine(line, number, report, seen);
    }
    return true;
}

void SettingsFile::readLine(const std::string& text, int number, std::vector<std::string>& report,
                            std::set<int>& seen) {
    Line line{text, -1};
    const std::string content = trim(text);
    if (content.empty() || content[0] == '#' || content[0] == ';') {
        lines_.push_back(line);
        return;
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string::npos || trim(content.substr(0, equals)).empty()) {
        report.push_back(where(number) + "not a setting (expected key = value); ignored");
        lines_.push_back(line);
        return;
    }
    const std::string name = lower(trim(content.substr(0, equals)));
    const std::string valueWritten = trim(content.substr(equals + 1));
    const auto found =
        std::find_if(kFields.begin(), kFields.end(), [&name](const Field& f) { return name == f.name; });
    if (found == kFields.end()) {
        report.push_back(where(number) + "unknown setting \"" + name + "\"; kept as it is");
        lines_.push_back(line);
        return;
    }
    const Field& f = *found;
    const int key = static_cast<int>(f.key);
    line.key = key;
    lines_.push_back(line);
    inFile_.insert(key);
    if (!seen.insert(key).second) {
        report.push_back(where(number) + std::string(f.name) + " is set again; this later value counts");
    }

    const float fallback = get(Values{}, f.key);
    float value = 0.0f;
    if (!(f.isSwitch ? readSwitch(valueWritten, value) : readNumber(valueWritten, value))) {
        std::ostringstream message;
        message << where(number) << f.name << " must be "
                << (f.isSwitch ? std::string("true or false")
                               : "a number from " + valueText(f, f.min) + " to " + valueText(f, f.max))
                << ", not \"" << valueWritten << "\"; using " << valueText(f, fallback);
        report.push_back(message.str());
        set(values_, f.key, fallback);
        return;
    }
    if (value < f.min || value > f.max) {
        const float clamped = std::clamp(value, f.min, f.max);
        report.push_back(where(number) + f.name + " " + valueWritten + " is out of range (" +
                         valueText(f, f.min) + " to " + valueText(f, f.max) + "); using " +
                         valueText(f, clamped));
        value = clamped;
    }
    set(values_, f.key, value);
}

void SettingsFile::remember(const Values& current, Key key) {
    const float value = get(current, key);
    if (value == get(values_, key) &&
        (inFile_.count(static_cast<int>(key)) != 0 || value == get(Values{}, key))) {
        return;
    }
    set(values_, key, value);
    unsaved_.insert(static_cast<int>(key));
}

std::string SettingsFile::text() const {
    std::string out;
    if (lines_.empty()) out = kHeader;
    std::set<int> written;
    for (const Line& line : lines_) {
        if (line.key < 0) {
            out += line.text + "\n";
            continue;
        }
        // A key set twice is written once, where it first stood.
        if (!written.insert(line.key).second) continue;
        const Field& f = kFields[static_cast<std::size_t>(line.key)];
        out += std::string(f.name) + " = " + valueText(f, get(values_, f.key)) + "\n";
    }
    for (int key : unsaved_) {
        if (written.count(key) != 0) continue;
        const Field& f = kFields[static_cast<std::size_t>(key)];
        out += std::string(f.name) + " = " + valueText(f, get(values_, f.key)) + "\n";
    }
    return out;
}

bool SettingsFile::save(std::vector<std::string>& report) {
    if (unsaved_.empty()) return true;
    if (path_.empty()) {
        report.push_back("Settings not saved: neither XDG_CONFIG_HOME nor HOME is set");
        return false;
    }
    if (!heldReason_.empty()) {
        report.push_back("Settings not saved to " + path_ + ": " + heldReason_);
        return false;
    }
    if (!notWritable_.empty()) {
        report.push_back("Settings not saved to " + path_ + ": " + notWritable_);
        return false;
    }
    std::string error;
    if (!writeAtomically(path_, text(), error)) {
        report.push_back("Settings not saved to " + path_ + ": " + error);
        return false;
    }
    // The file now holds every line: later saves rewrite these.
    if (lines_.empty()) {
        std::istringstream header(kHeader);
        std::string comment;
        while (std::getline(header, comment)) lines_.push_back({comment, -1});
    }
    for (int key : unsaved_) {
        if (inFile_.insert(key).second) lines_.push_back({kFields[static_cast<std::size_t>(key)].name, key});
    }
    unsaved_.clear();
    return true;
}

bool SettingsFile::writeAtomically(const std::string& path, const std::string& text, std::string& error,
                                   const std::function<void()>& afterPart) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        error = "can't create " + folder.string() + " (" + made.message() + ")";
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        error = "can't write in " + folder.string() + " (" + systemError(errno) + ")";
        return false;
    }
    auto fail = [&](const std::string& what) {
        error = what + " (" + systemError(errno) + ")";
        close(fd);
        unlink(temporary.c_str());
        return false;
    };
    // Half first, then the rest: a test can end the process in between.
    const std::size_t half = text.size() / 2;
    std::size_t done = 0;
    bool partCalled = false;
    while (done < text.size()) {
        const std::size_t limit = !partCalled && afterPart ? half : text.size();
        if (done >= limit) {
            partCalled = true;
            afterPart();
            continue;
        }
        const ssize_t wrote = write(fd, text.data() + done, limit - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return fail("can't write " + temporary);
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (fsync(fd) != 0) return fail("can't write " + temporary);
    if (close(fd) != 0) {
        error = "can't write " + temporary + " (" + systemError(errno) + ")";
        unlink(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "can't replace " + path + " (" + systemError(errno) + ")";
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

}  // namespace vestrel
