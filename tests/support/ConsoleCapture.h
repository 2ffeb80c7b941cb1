#pragma once

#include <iostream>
#include <sstream>
#include <string>

namespace vestrel::test {

// Captures everything written to std::cout while alive.
class ConsoleCapture {
public:
    ConsoleCapture() : saved_(std::cout.rdbuf(buffer_.rdbuf())) {}
    ~ConsoleCapture() { std::cout.rdbuf(saved_); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::string text() const { return buffer_.str(); }
    void clear() { buffer_.str(std::string()); }

private:
    std::ostringstream buffer_;
    std::streambuf* saved_;
};

}  // namespace vestrel::test
