// MD5 and Base64: the digest behind the account token and the text form of
// uploaded maps; and the lines of a map's proven standings.
#include <gtest/gtest.h>

#include <string>

#include "base64.h"
#include "game_web.h"
#include "md5.h"

TEST(Md5, MatchesTheRfc1321TestSuite) {
    EXPECT_EQ(md5_digest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5_digest("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5_digest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5_digest("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5_digest("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5_digest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5_digest("1234567890123456789012345678901234567890"
                         "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PaddingEdgesAndPiecewiseInputAgree) {
    // 55, 56 and 64 bytes put the length field in the same or the next block.
    EXPECT_EQ(md5_digest(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(md5_digest(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(md5_digest(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    EXPECT_EQ(md5_digest(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
    EXPECT_EQ(md5_digest(std::string("a\0b", 3)), "70350f6027bce3713f6b76473084309b")
        << "bytes past a zero count";

    std::string text;
    for (int i = 0; i < 200; i++) text += (char)(i * 37 + 11);
    unsigned char whole[MD5_DIGEST_SIZE];
    md5_bytes(text.data(), text.size(), whole);
    for (size_t cut = 0; cut <= text.size(); cut += 7) {
        Md5Context ctx;
        md5_init(&ctx);
        md5_update(&ctx, text.data(), cut);
        md5_update(&ctx, text.data() + cut, text.size() - cut);
        unsigned char pieces[MD5_DIGEST_SIZE];
        md5_final(&ctx, pieces);
        EXPECT_EQ(std::string((char*)pieces, MD5_DIGEST_SIZE), std::string((char*)whole, MD5_DIGEST_SIZE))
            << "split at " << cut;
    }
}

TEST(Base64, MatchesTheRfc4648Vectors) {
    const char* vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                {"foobar", "Zm9vYmFy"}};
    for (auto& v : vectors) {
        EXPECT_EQ(base64_encode(std::string(v[0])), v[1]);
        std::string back;
        EXPECT_TRUE(base64_decode(std::string(v[1]), &back)) << v[1];
        EXPECT_EQ(back, v[0]);
    }
    EXPECT_EQ(base64_encode(std::string("\xfb\xff\xbf", 3)), "+/+/") << "both ends of the alphabet";
}

TEST(Base64, RoundTripsEveryLengthUpTo300) {
    std::string bytes;
    unsigned seed = 12345;
    for (size_t len = 0; len <= 300; len++) {
        std::string text = base64_encode(bytes);
        ASSERT_EQ(text.size(), (len + 2) / 3 * 4);
        ASSERT_EQ(text.find_first_of("\r\n"), std::string::npos);
        std::string back;
        ASSERT_TRUE(base64_decode(text, &back)) << "length " << len;
        ASSERT_EQ(back, bytes) << "length " << len;
        seed = seed * 1103515245u + 12345u;
        bytes += (char)(seed >> 16);
    }
}

TEST(Base64, DecoderRefusesBadCharactersAndPadding) {
    const char* bad[] = {
        "Zm9v!A==", "Zm9 vYg==", "Zm9v\nYmFy", "Zm9-", "Zm9_",   // outside the alphabet
        "Zg=", "Zg", "Zm9vY", "=",                                // not whole groups
        "Z===", "====", "=Zg=", "Zg==Zg==", "Zm=v", "Zm9vYg=a",   // padding out of place
        "Zh==", "Zm9=",                                           // bits left over under the padding
    };
    for (const char* text : bad) {
        std::string out = "stale";
        EXPECT_FALSE(base64_decode(std::string(text), &out)) << text;
        EXPECT_TRUE(out.empty()) << text;
    }
    std::string out;
    EXPECT_FALSE(base64_decode(std::string("Zm9v\0Zm9", 8), &out)) << "a zero byte inside";
}

// Each case: the body, then what is read from it, as "best" lines written
// "rank score ticks name|", the own line as "rank score ticks" ("" for
// none), and the count.
TEST(Standings, LinesAreReadAndAnythingElseIsSkipped) {
    const struct {
        const char* body;
        const char* best;
        const char* own;
        int count;
    } cases[] = {
        {"best 1 3400 900 Zoe\nbest 2 3100 1000 Ann Lee\nown 2 3100 1000\ncount 7\n",
         "1 3400 900 Zoe|2 3100 1000 Ann Lee|", "2 3100 1000", 7},
        // No own line: the account holds no proof; names keep their inner spaces.
        {"best 1 10 20  two  spaces \ncount 1\n", "1 10 20  two  spaces |", "", 1},
        // Junk, unknown words, broken numbers, a missing name, a rank of 0,
        // a line without its break and carriage returns.
        {"hello\nbest x 1 2 Bob\nbest 1 -5 2 Bob\nbest 1 2 3\nbest 0 1 1 Nil\nfuture 1 2\n"
         "best 1 50 60 Cy\r\nown 3 40\nown 3 40 50\ncount 3",
         "1 50 60 Cy|", "3 40 50", 3},
        // At most five best lines; the count may be missing.
        {"best 1 6 0 a\nbest 2 5 0 b\nbest 3 4 0 c\nbest 4 3 0 d\nbest 5 2 0 e\nbest 6 1 0 f\n",
         "1 6 0 a|2 5 0 b|3 4 0 c|4 3 0 d|5 2 0 e|", "", 0},
        {"", "", "", 0},
        {"count 99999999999\nbest 1 2 3 \x01name\n", "1 2 3  name|", "", 0},
    };
    for (const auto& c : cases) {
        GameWebStandings st = game_web_standings_parse(c.body);
        std::string best, own;
        for (const GameWebProven& p : st.best)
            best += std::to_string(p.rank) + " " + std::to_string(p.score) + " " + std::to_string(p.ticks) + " " +
                    p.player + "|";
        if (st.has_own)
            own = std::to_string(st.own.rank) + " " + std::to_string(st.own.score) + " " + std::to_string(st.own.ticks);
        EXPECT_EQ(c.best, best) << c.body;
        EXPECT_EQ(c.own, own) << c.body;
        EXPECT_EQ(c.count, st.count) << c.body;
    }
}
