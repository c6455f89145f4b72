// The kept credentials: out of core dumps, locked where allowed, forgotten one server at a time.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "credentials.h"
#include "printing/printing.h"

namespace printing = os_actions::printing;
namespace detail = os_actions::printing::detail;

namespace {

// The VmFlags of the mapping holding `address`, from /proc/self/smaps.
std::string flags_of(const void* address) {
    std::ifstream smaps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t begin = 0;
        std::uintptr_t end = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> begin >> dash >> end && dash == '-') {
            inside = begin <= at && at < end;
        } else if (inside && line.starts_with("VmFlags:")) {
            return line;
        }
    }
    return {};
}

TEST(SecretText, KeptOutOfCoreDumpsAndLockedWhereAllowed) {
    const detail::SecretText secret("s3cret");
    EXPECT_EQ(secret.view(), "s3cret");
    EXPECT_STREQ(secret.c_str(), "s3cret");
    EXPECT_TRUE(secret.kept_from_dumps());
    const auto flags = flags_of(secret.c_str());
    EXPECT_NE(flags.find(" dd"), std::string::npos) << flags;
#if !defined(__SANITIZE_ADDRESS__)  // the address sanitizer answers mlock without locking anything
    if (secret.locked()) {
        EXPECT_NE(flags.find(" lo"), std::string::npos) << flags;
    }
#endif
    // A copy has pages of its own; a move takes them; a cleared one holds nothing.
    detail::SecretText copy = secret;
    EXPECT_NE(copy.c_str(), secret.c_str());
    EXPECT_NE(flags_of(copy.c_str()).find(" dd"), std::string::npos);
    detail::SecretText moved = std::move(copy);
    EXPECT_EQ(moved.view(), "s3cret");
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): a moved-from secret is empty
    moved.clear();
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(moved.view(), "");
    EXPECT_TRUE(detail::SecretText("").empty());
}

TEST(ServerCredentials, ARefusedServerForgetsOnlyItsOwn) {
    printing::set_server_credentials("office.example", "ada", "wrong");
    printing::set_server_credentials("other.example", "bob", "right");
    const auto kept = detail::stored_credentials("office.example");
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->password.view(), "wrong");
    EXPECT_TRUE(kept->password.kept_from_dumps());
    detail::forget_credentials("office.example");
    EXPECT_FALSE(detail::stored_credentials("office.example").has_value());
    ASSERT_TRUE(detail::stored_credentials("other.example").has_value());
    printing::forget_server_credentials();
    EXPECT_FALSE(detail::stored_credentials("other.example").has_value());

    using Kind = printing::ServiceError::Kind;
    const auto refused = printing::credentials_refused_error();
    EXPECT_EQ(refused.message, "The print server did not accept the user name or password.");
    EXPECT_EQ(refused.kind, Kind::credentials_refused);
    EXPECT_TRUE(refused.server.empty());
    const auto wanted = printing::credentials_wanted_error("office.example");
    EXPECT_EQ(wanted.kind, Kind::credentials_wanted);
    EXPECT_EQ(wanted.server, "office.example");
    EXPECT_EQ(wanted.message, "The print server asks for a user name and password: office.example");
    // A failure whose words look like one of these is still only a failure.
    EXPECT_EQ(printing::ServiceError(wanted.message).kind, Kind::failed);
}

}  // namespace
