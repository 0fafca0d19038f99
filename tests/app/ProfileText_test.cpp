// The line view of the profile parse: what a tool that reports by line
// (the script checker) sees, numbered as an editor numbers the lines.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/ProfileText.h"

TEST(ProfileLines, NumberedAsAnEditorCountsLinesAndMarkedAsTheReaderChooses) {
    // CR LF, lone LF, lone CR, an empty line, and a lead byte that takes a
    // line end into the value, where the editor still sees a line.
    const ProfileText text("[A]\r\nK=1\nk=2\rBare\r\nBare=4\r\nL=\x82\nX=9\r\nM=5\r\n[a]\r\n\r\nJ=3\r\n");
    const std::vector<ProfileText::Line> lines = text.Lines();
    std::string seen;
    for (const ProfileText::Line& l : lines)
        seen += std::to_string(l.number) + ":" + std::to_string(static_cast<int>(l.kind)) + ":" + l.name + "=" +
                l.value + (l.counts ? "" : " (not read)") + "\n";
    EXPECT_EQ("1:0:A=\n2:1:K=1\n3:1:k=2 (not read)\n4:2:Bare=\n5:1:Bare=4 (not read)\n6:1:L=\x82\nX=9\n8:1:M=5\n"
              "9:0:a= (not read)\n11:1:J=3 (not read)\n",
              seen);
    EXPECT_EQ(2u, text.LineOf("a", "K"));
    EXPECT_EQ(0u, text.LineOf("A", "J"));  // in the second [a], which is never read
    EXPECT_EQ(8u, text.LineOf("A", "M"));
}
