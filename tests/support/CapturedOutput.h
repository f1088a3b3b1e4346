#pragma once

#include <iostream>
#include <sstream>
#include <string>

// What the program prints to standard output while this lives, kept instead of printed.
class CapturedOutput {
public:
    CapturedOutput() : console_(std::cout.rdbuf(text_.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(console_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* console_;
};
