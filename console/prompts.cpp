#include "console/prompts.h"

#include <cctype>
#include <limits>

namespace {

void RejectAnswer(std::istream& in, std::ostream& out) {
    out << "Invalid Value." << std::endl;
    // Forget the rest of the rejected line so the next answer is read fresh.
    in.clear();
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

}  // namespace

bool ReadUnsigned32(std::istream& in, std::uint32_t* value) {
    in >> std::ws;
    std::uint64_t number = 0;
    bool digits = false;
    bool overflow = false;
    for (int c = in.peek(); c != std::char_traits<char>::eof() && std::isdigit(c); c = in.peek()) {
        in.get();
        digits = true;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
        if (number > std::numeric_limits<std::uint32_t>::max()) {
            overflow = true;
            number = std::numeric_limits<std::uint32_t>::max();
        }
    }
    if (!digits || overflow) {
        in.setstate(std::ios_base::failbit);
        return false;
    }
    *value = static_cast<std::uint32_t>(number);
    return true;
}

std::uint32_t AskNumber(std::istream& in, std::ostream& out, const std::string& prompt) {
    for (;;) {
        out << prompt << std::flush;
        std::uint32_t value = 0;
        if (ReadUnsigned32(in, &value)) return value;
        if (in.eof()) throw InputEndedError();
        RejectAnswer(in, out);
    }
}

bool AskReadOnly(std::istream& in, std::ostream& out) {
    for (;;) {
        out << "Read Only Test? (Input \"Y\" or \"N\") " << std::flush;
        char answer = 0;
        if (!(in >> answer)) throw InputEndedError();
        if (answer == 'y' || answer == 'Y') return true;
        if (answer == 'n' || answer == 'N') return false;
        out << "Invalid Value." << std::endl;  // only this one character is consumed
    }
}

void DiscardRestOfAnswerLine(std::istream& in) {
    if (in.good()) in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}
