// The operator's answers, read from the console input.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>

/// Thrown when the console input has ended and no answer can come.
struct InputEndedError : std::runtime_error {
    InputEndedError() : std::runtime_error("Console input ended; no answer to the prompt.") {}
};

/// Shows `prompt` and reads an unsigned decimal number that fits 32 bits,
/// repeating after "Invalid Value." until one is read. Throws InputEndedError.
std::uint32_t AskNumber(std::istream& in, std::ostream& out, const std::string& prompt);

/// Shows the test mode prompt and reads one non-blank character at a time
/// until it is Y/y (true) or N/n (false). Throws InputEndedError.
bool AskReadOnly(std::istream& in, std::ostream& out);

/// Discards what is left of the last answer's line: it was typed with the
/// answer, so it must not reach the test as a key press.
void DiscardRestOfAnswerLine(std::istream& in);

/// Reads an unsigned decimal number of at most 32 bits after leading blanks.
/// False (input in a failed state) on no digits, a sign or an overflow.
bool ReadUnsigned32(std::istream& in, std::uint32_t* value);
