#include "replay/DemoRecorder.h"

namespace vestrel {

bool DemoRecorder::open(const std::string& path, const DemoSettings& settings, std::string& error) {
    std::string why;
    if (!demoSettingsAcceptable(settings, why)) {
        error = path + ": " + why + ", which no replay accepts";
        return false;
    }
    path_ = path;
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_) {
        error = "cannot create " + path;
        return false;
    }
    checksum_ = kFnvOffset;
    line(std::string(kDemoMagic) + " " + std::to_string(kDemoVersion));
    line(demoHeaderLine(settings));
    return true;
}

void DemoRecorder::line(const std::string& text) {
    if (!out_.is_open()) return;
    out_ << text << '\n';
    checksum_ = fnv1a(checksum_, text.data(), text.size());
    checksum_ = fnv1a(checksum_, "\n", 1);
}

bool DemoRecorder::finish(const DemoTotals& totals) {
    if (!out_.is_open()) return false;
    out_ << demoEndLine(totals, checksum_) << '\n';
    out_.flush();
    const bool written = static_cast<bool>(out_);
    out_.close();
    return written && !out_.fail();
}

}  // namespace vestrel
