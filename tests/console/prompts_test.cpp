#include "console/prompts.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Dialogue {
    std::istringstream in;
    std::ostringstream out;
    explicit Dialogue(const std::string& typed) : in(typed) {}
};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(NumberPrompt, RejectsTextOnceAndAcceptsTheNextNumber) {
    Dialogue d("x\n7\n");
    EXPECT_EQ(AskNumber(d.in, d.out, "Input Drive Number: "), 7u);
    EXPECT_EQ(d.out.str(), "Input Drive Number: Invalid Value.\nInput Drive Number: ");
}

TEST(NumberPrompt, RejectsSignsAndValuesBeyond32Bits) {
    // "-1" would wrap to a target that is never reached; an overflow likewise.
    Dialogue d("-1\n4294967296\n+3\n4294967295\n");
    EXPECT_EQ(AskNumber(d.in, d.out, "T: "), 4294967295u);
    EXPECT_EQ(Count(d.out.str(), "Invalid Value."), 3);
}

TEST(NumberPrompt, GivesUpWhenTheInputEnds) {
    Dialogue d("abc\n");
    EXPECT_THROW(AskNumber(d.in, d.out, "T: "), InputEndedError);
    EXPECT_EQ(Count(d.out.str(), "Invalid Value."), 1);
    Dialogue empty("");
    EXPECT_THROW(AskNumber(empty.in, empty.out, "T: "), InputEndedError);
}

TEST(ModePrompt, RejectsOneCharacterAtATime) {
    Dialogue d("abc y");
    EXPECT_TRUE(AskReadOnly(d.in, d.out));
    EXPECT_EQ(Count(d.out.str(), "Invalid Value."), 3);
    EXPECT_EQ(Count(d.out.str(), "Read Only Test? (Input \"Y\" or \"N\") "), 4);
}

TEST(ModePrompt, LeavesTheRestOfAnAnswerForTheNextPrompt) {
    // "no" selects the write test; the "o" is then refused by the target prompt.
    Dialogue d("no\n12\n");
    EXPECT_FALSE(AskReadOnly(d.in, d.out));
    EXPECT_EQ(AskNumber(d.in, d.out, "Input Average Erase Count Target: "), 12u);
    EXPECT_EQ(Count(d.out.str(), "Invalid Value."), 1);
    Dialogue upper("N");
    EXPECT_FALSE(AskReadOnly(upper.in, upper.out));
    Dialogue ended("   \n");
    EXPECT_THROW(AskReadOnly(ended.in, ended.out), InputEndedError);
}

TEST(LastAnswer, ItsLineEndIsNoKeyButTheNextLineIs) {
    Dialogue d("1\nY  \nq");
    EXPECT_EQ(AskNumber(d.in, d.out, "N: "), 1u);
    EXPECT_TRUE(AskReadOnly(d.in, d.out));
    DiscardRestOfAnswerLine(d.in);
    EXPECT_EQ(d.in.get(), 'q');
    Dialogue target("N\n3\n");
    EXPECT_FALSE(AskReadOnly(target.in, target.out));
    EXPECT_EQ(AskNumber(target.in, target.out, "T: "), 3u);
    DiscardRestOfAnswerLine(target.in);
    EXPECT_EQ(target.in.peek(), std::char_traits<char>::eof());
}

}  // namespace
