#include "replay/Screenshot.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <charconv>
#include <iostream>
#include <system_error>
#include <vector>

namespace vestrel {

namespace {

constexpr std::size_t kMaxListedSteps = 100000;

bool parseStep(const std::string& text, std::size_t begin, std::size_t end, std::uint64_t& value) {
    if (begin >= end || text[begin] == '-' || text[begin] == '+') return false;
    const auto result = std::from_chars(text.data() + begin, text.data() + end, value);
    return result.ec == std::errc() && result.ptr == text.data() + end && value > 0;
}

}  // namespace

bool ScreenshotSchedule::parse(const std::string& text) {
    const std::string everyPrefix = "every:";
    if (text.compare(0, everyPrefix.size(), everyPrefix) == 0) {
        std::uint64_t every = 0;
        if (!parseStep(text, everyPrefix.size(), text.size(), every)) return false;
        every_ = every;
        steps_.clear();
        return true;
    }
    std::set<std::uint64_t> steps;
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = text.find(',', begin);
        const std::size_t end = comma == std::string::npos ? text.size() : comma;
        std::uint64_t step = 0;
        if (!parseStep(text, begin, end, step) || steps.size() >= kMaxListedSteps) return false;
        steps.insert(step);
        if (comma == std::string::npos) break;
        begin = comma + 1;
    }
    every_ = 0;
    steps_ = std::move(steps);
    return true;
}

bool ScreenshotSchedule::due(std::uint64_t step) const {
    if (every_ != 0) return step % every_ == 0;
    return steps_.count(step) != 0;
}

bool saveWindowPicture(const std::string& path, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    GLint readFramebuffer = 0;
    GLint readBuffer = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glReadBuffer(GL_BACK);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glReadBuffer(static_cast<GLenum>(readBuffer));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));

    while (ilGetError() != IL_NO_ERROR) {
    }
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    // DevIL's origin is the lower left, as GL's read-back is.
    ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
               pixels.data());
    ilEnable(IL_FILE_OVERWRITE);
    const bool saved = ilSave(IL_PNG, path.c_str()) == IL_TRUE;
    ilDeleteImages(1, &image);
    if (!saved) {
        std::cout << "Couldn't write screenshot " << path << std::endl;
    }
    return saved;
}

}  // namespace vestrel
