// What every transport shares: reading a response's header block and holding a body to its
// limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "districts/http_transport.h"

namespace telvora::districts {
namespace {

TEST(HeaderFields, ReadsTheBlockAsServersWriteIt) {
    struct Case {
        std::string block;
        std::vector<HeaderField> fields;
    };
    const Case cases[] = {
        {"Location: /hop1\r\nSet-Cookie: a=1\r\n\r\n",
         {{"Location", "/hop1"}, {"Set-Cookie", "a=1"}}},
        {"Location:/hop1\nSet-Cookie:  a=1 \t\n", {{"Location", "/hop1"}, {"Set-Cookie", "a=1"}}},
        {"HTTP/1.1 302 Found\r\nLocation: /x\r\n", {{"Location", "/x"}}},
        {"Set-Cookie: a=1\r\nSet-Cookie: b=2\r\n", {{"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}}},
        // A folded line continues the field before it.
        {"X-Long: one\r\n two\r\n\tthree\r\nNext: 1\r\n",
         {{"X-Long", "one two three"}, {"Next", "1"}}},
        {"  orphan\r\nA: 1\r\n", {{"A", "1"}}},
        // No name, no colon: no field.
        {": value\r\njunk\r\nA: b: c\r\n", {{"A", "b: c"}}},
        {"Empty:\r\n", {{"Empty", ""}}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseHeaderFields(c.block), c.fields) << c.block;
    }
}

TEST(HeaderFields, NamesAreFoundWhateverTheirCase) {
    TransportResponse response;
    response.headers = {
        {"set-cookie", "a=1"}, {"Location", "/one"}, {"SET-COOKIE", "b=2"}, {"location", "/two"}};
    EXPECT_EQ(response.Values("Set-Cookie"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(response.Value("LOCATION"), "/one");
    EXPECT_EQ(response.Value("Content-Type"), std::nullopt);
}

TEST(ResponseBodyLimit, NothingPassesTheLimit) {
    ResponseBody body(10);
    EXPECT_TRUE(body.Append("12345"));
    EXPECT_TRUE(body.Append("67890"));
    EXPECT_FALSE(body.Append("x"));
    EXPECT_EQ(body.Text(), "1234567890");
    EXPECT_TRUE(body.Append(""));

    ResponseBody other(4);
    EXPECT_FALSE(other.Append("12345"));
    EXPECT_EQ(other.Text(), "");
    EXPECT_EQ(other.TooLargeText(), "Response body larger than 4 bytes");
}

}  // namespace
}  // namespace telvora::districts
