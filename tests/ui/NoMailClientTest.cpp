// A window whose program has not chosen its mail client.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Encoding.h"
#include "tests/support/MemoryWindow.h"
#include "tests/support/TestFiles.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

namespace {

// Until the program's entry chooses a mail client, a recipient button reports
// that none is chosen instead of writing anywhere.
TEST(NoMailClientTest, RecipientButtonReportsIt) {
    TempDir temp;
    TForm1::SetIniFileOverride(temp.path() / "quorvantel.ini");
    WriteAll(temp.path() / "mail" / "card.dat",
             Utf8ToCp932("Nickname: Bob\r\nAddress: bob@example.com\r\n.\r\n"));
    WriteAll(temp.path() / "mail" / "group.dat", Utf8ToCp932("Name: \\\r\nEntry: Bob\r\n.\r\n"));
    std::vector<std::string> reports;
    SetErrorReporter([&](const std::string& text) { reports.push_back(text); });
    {
        TMemoryForm1View view;
        TForm1 form(view);
        view.Form = &form;
        view.SetEditText(TEditBox::Edit1, PathToCp932(temp.path() / "mail"));
        Guarded([&] { form.B_READClick(); });
        view.SelectNode("\\");
        view.SelectRows({0});
        Guarded([&] { form.B_TOClick(); });
    }
    SetErrorReporter(nullptr);
    TForm1::SetIniFileOverride(std::nullopt);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "メールソフトが選ばれていません.");
}

}  // namespace
