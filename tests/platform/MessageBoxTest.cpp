#include "support/ScriptedUser.h"

#include <gtest/gtest.h>

TEST(MessageBox, ScriptedAnswersAreGivenInOrderAndTextsRecorded)
{
    ScriptedUser user;
    user.ExpectBox(IDNO, "save");
    user.ExpectBox(IDCANCEL);
    EXPECT_EQ(AfxMessageBox("Do you want to save?", MB_YESNOCANCEL), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Second", "Own caption", MB_OKCANCEL), IDCANCEL);
    ASSERT_EQ(user.Shown().size(), 2u);
    EXPECT_EQ(user.Shown()[1].caption, "Own caption");
    EXPECT_EQ(user.Texts()[0], "Do you want to save?");
}

TEST(MessageBox, UnscriptedBoxIsReportedAndGetsItsDefaultButton)
{
    Responder r;
    EXPECT_EQ(AfxMessageBox("Surprise", MB_YESNO | MB_DEFBUTTON2), IDNO);
    ASSERT_EQ(r.Unexpected().size(), 1u);
    EXPECT_NE(r.Unexpected()[0].find("Surprise"), std::string::npos);
}
