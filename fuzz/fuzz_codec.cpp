// Fuzz target: the strict Base64 decoder on arbitrary text, and MD5 fed in
// arbitrary pieces; the service decodes uploaded maps with the former.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base64.h"
#include "md5.h"

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            fprintf(stdout, "check failed: %s (line %d)\n", #cond, __LINE__);     \
            abort();                                                              \
        }                                                                         \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input((const char*)data, size);

    // Accepted text is canonical: encoding what it decodes to gives it back.
    std::string decoded;
    if (base64_decode(input, &decoded)) {
        FUZZ_CHECK(base64_encode(decoded) == input);
    } else {
        FUZZ_CHECK(decoded.empty());
    }
    // Any bytes survive the round trip.
    std::string back;
    FUZZ_CHECK(base64_decode(base64_encode(input), &back));
    FUZZ_CHECK(back == input);

    // A digest does not depend on how the bytes arrive.
    unsigned char whole[MD5_DIGEST_SIZE], pieces[MD5_DIGEST_SIZE];
    md5_bytes(data, size, whole);
    Md5Context ctx;
    md5_init(&ctx);
    size_t at = 0;
    for (size_t step = size ? data[0] % 97 + 1 : 1; at < size; at += step) {
        md5_update(&ctx, data + at, size - at < step ? size - at : step);
    }
    md5_final(&ctx, pieces);
    FUZZ_CHECK(memcmp(whole, pieces, sizeof(whole)) == 0);
    return 0;
}
