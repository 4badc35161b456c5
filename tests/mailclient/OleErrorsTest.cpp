#include "mailclient/OleErrors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(OleErrorMessage, FollowsTheDescriptionRule) {
    struct Case {
        std::string description;
        uint32_t status;
        std::string systemText;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"Outlook cannot do this.\r\n", 0x80004005, "ignored", "Outlook cannot do this"},
        {"a.b. . \t.", 0x80004005, "", "a.b"},
        {"操作は失敗しました。", 0x80004005, "", "操作は失敗しました。"},
        {" .\r\n", 0x80004005, "エラーを特定できません\r\n", "エラーを特定できません"},
        {"", 0x80040154, "Class not registered.\r\n", "Class not registered"},
        {"", 0x80004005, "", "OLE エラー 80004005"},
        {"", 0x8001abcd, " . ", "OLE エラー 8001ABCD"},
        {"", 0x00000001, "", "OLE エラー 00000001"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OleErrorMessage(c.description, static_cast<int32_t>(c.status), c.systemText),
                  c.message)
            << c.description;
    }
}

TEST(OleErrors, CarryTheirKindStatusAndInformation) {
    const auto status = static_cast<int32_t>(0x80040154u);
    const EOleSysError sys(status);
    EXPECT_EQ(sys.ErrorCode(), status);
    EXPECT_EQ(std::string(sys.what()), OleErrorMessage("", status, OleSystemMessage(status)));

    const EOleException ex(static_cast<int32_t>(0x80020009u),
                           {"The operation failed.  ", "Microsoft Outlook", "vbaol.chm", 42});
    EXPECT_STREQ(ex.what(), "The operation failed");
    EXPECT_EQ(ex.Description(), "The operation failed.  ");
    EXPECT_EQ(ex.Source(), "Microsoft Outlook");
    EXPECT_EQ(ex.HelpFile(), "vbaol.chm");
    EXPECT_EQ(ex.HelpContext(), 42u);
    const EAppError& asApp = ex;  // the common error report catches EAppError
    EXPECT_STREQ(asApp.what(), "The operation failed");

    EXPECT_STREQ(EIntfCastError().what(), "Interface はサポートされていません");
}

TEST(ThrowDispatchError, ChoosesTheKindByTheStatus) {
    int caught = 0;
    try {
        ThrowDispatchError(kDispException, static_cast<int32_t>(0x80004005u), {"Busy.", "", "", 0});
    } catch (const EOleException& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(0x80004005u));
        EXPECT_STREQ(e.what(), "Busy");
        ++caught;
    }
    try {
        ThrowDispatchError(static_cast<int32_t>(0x800706BAu), 0, {"unused", "", "", 0});
    } catch (const EOleException&) {
        ADD_FAILURE() << "a plain failure status is no exception of the server";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), static_cast<int32_t>(0x800706BAu));
        EXPECT_EQ(std::string(e.what()).find("unused"), std::string::npos);
        ++caught;
    }
    EXPECT_EQ(caught, 2);
}

}  // namespace
