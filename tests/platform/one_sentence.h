// Every refusal the backends give is meant to be read as one sentence on a
// terminal or in a message box: one line, one full stop, at the end.
#pragma once

#include <gtest/gtest.h>

#include <string>

inline ::testing::AssertionResult IsOneSentence(const std::string& text) {
    if (text.empty()) return ::testing::AssertionFailure() << "empty";
    if (text.find('\n') != std::string::npos)
        return ::testing::AssertionFailure() << "several lines: " << text;
    if (text.back() != '.') return ::testing::AssertionFailure() << "no full stop at the end: " << text;
    if (text.find(". ") != std::string::npos)
        return ::testing::AssertionFailure() << "several sentences: " << text;
    return ::testing::AssertionSuccess();
}
