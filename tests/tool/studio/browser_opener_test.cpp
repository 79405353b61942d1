// The file the browser is opened on: the user's alone, forwarding to the tokened address, and
// gone with the studio.
#include "studio/browser_opener.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace mirevane::tool {
namespace {

const std::string kAddress = "http://127.0.0.1:8765/?token=0123456789abcdef";

using test::ReadBytes;

TEST(ForwardingFile, ForwardsToTheAddressAndIsGoneAfterwards) {
    std::filesystem::path path;
    {
        const ForwardingFile file(kAddress);
        path = file.Path();
        EXPECT_NE(ReadBytes(path).find("<meta http-equiv=\"refresh\" content=\"0;url=" + kAddress +
                                       "\">"),
                  std::string::npos);
        EXPECT_EQ(path.string().find("token"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
}

#ifndef _WIN32
TEST(ForwardingFile, OnlyTheUserCanReadIt) {
    using std::filesystem::perms;
    const ForwardingFile file(kAddress);
    EXPECT_EQ(std::filesystem::status(file.Path()).permissions(),
              perms::owner_read | perms::owner_write);
    EXPECT_EQ(std::filesystem::status(file.Path().parent_path()).permissions(), perms::owner_all);
}
#endif

TEST(ForwardingFile, TwoStudiosHaveFoldersOfTheirOwn) {
    const ForwardingFile one(kAddress);
    const ForwardingFile two(kAddress);
    EXPECT_NE(one.Path().parent_path(), two.Path().parent_path());
}

} // namespace
} // namespace mirevane::tool
