#include "error_marks.h"

#include <gtest/gtest.h>

#include <string>

namespace probelyn {

namespace {

using namespace std::string_literals;

// What a reader saw, one letter each: "b<c>" intact, "e<c>" errored.
std::string ReadInPieces(const std::string& marked, std::size_t piece) {
    MarkReader reader;
    std::string seen;
    for (std::size_t at = 0; at < marked.size(); at += piece) {
        reader.Take(
            std::string_view(marked).substr(at, piece), [&](char c) { seen += "b"s + c; },
            [&](char c) { seen += "e"s + c; });
    }
    return seen;
}

// Every stream made here reads back the same however the reads cut it, marks
// cut in two or three included; a 0377 a tty did not mark stays a byte.
TEST(ErrorMarksTest, WhatIsMarkedReadsBackHoweverTheReadsCutIt) {
    std::string made;
    AppendReceived(made,
                   "a\xFF"
                   "b");
    AppendErrored(made, 'c');
    AppendReceived(made, "\xFF");
    AppendErrored(made);
    ASSERT_EQ(made,
              "a\xFF\xFF"
              "b\xFF\0c\xFF\xFF\xFF\0\0"s);
    const std::string events =
        "ba"
        "b\xFF"
        "bb"
        "ec"
        "b\xFF"
        "e\0"s;
    for (std::size_t piece = 1; piece <= made.size(); ++piece) {
        EXPECT_EQ(ReadInPieces(made, piece), events) << "pieces of " << piece;
    }
    EXPECT_EQ(ReadInPieces("\xFFx"s, 1),
              "b\xFF"
              "bx"s);
}

}  // namespace

}  // namespace probelyn
