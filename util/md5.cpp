// MD5 message digests (RFC 1321), written from the RFC's description.
#include "md5.h"

#include <cstring>

enum { MD5_LENGTH_OFFSET = MD5_BLOCK_SIZE - 8 };  // where the bit count goes in the last block

// Per-step shift amounts, four per round.
static const int MD5_SHIFT[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// floor(abs(sin(i + 1)) * 2^32), the RFC's table T.
static const uint32_t MD5_SINE[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

static uint32_t _md5_rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

static void _md5_block(uint32_t state[4], const unsigned char* block) {
    uint32_t x[16];
    for (int i = 0; i < 16; i++) {
        // Words are little-endian whatever the machine.
        x[i] = (uint32_t)block[i * 4] | (uint32_t)block[i * 4 + 1] << 8 |
               (uint32_t)block[i * 4 + 2] << 16 | (uint32_t)block[i * 4 + 3] << 24;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; i++) {
        int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
            case 0: f = (b & c) | (~b & d); k = i; break;
            case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) % 16; break;
            case 2: f = b ^ c ^ d; k = (3 * i + 5) % 16; break;
            default: f = c ^ (b | ~d); k = (7 * i) % 16; break;
        }
        uint32_t next = b + _md5_rotl(a + f + MD5_SINE[i] + x[k], MD5_SHIFT[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void md5_init(Md5Context* ctx) {
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xefcdab89;
    ctx->state[2] = 0x98badcfe;
    ctx->state[3] = 0x10325476;
    ctx->bytes = 0;
    memset(ctx->block, 0, sizeof(ctx->block));
}

void md5_update(Md5Context* ctx, const void* data, size_t len) {
    if (len == 0) return;
    const unsigned char* in = (const unsigned char*)data;
    size_t held = (size_t)(ctx->bytes % MD5_BLOCK_SIZE);
    ctx->bytes += len;
    if (held) {
        size_t take = MD5_BLOCK_SIZE - held < len ? MD5_BLOCK_SIZE - held : len;
        memcpy(ctx->block + held, in, take);
        in += take;
        len -= take;
        if (held + take < MD5_BLOCK_SIZE) return;
        _md5_block(ctx->state, ctx->block);
    }
    for (; len >= MD5_BLOCK_SIZE; in += MD5_BLOCK_SIZE, len -= MD5_BLOCK_SIZE) _md5_block(ctx->state, in);
    memcpy(ctx->block, in, len);
}

void md5_final(Md5Context* ctx, unsigned char out[MD5_DIGEST_SIZE]) {
    uint64_t bits = ctx->bytes * 8;
    static const unsigned char pad[MD5_BLOCK_SIZE] = {0x80};
    size_t held = (size_t)(ctx->bytes % MD5_BLOCK_SIZE);
    // Pad with 0x80 and zeros up to the length field of this or the next block.
    size_t pad_len = held < MD5_LENGTH_OFFSET ? MD5_LENGTH_OFFSET - held
                                              : MD5_BLOCK_SIZE + MD5_LENGTH_OFFSET - held;
    md5_update(ctx, pad, pad_len);
    unsigned char length[8];
    for (int i = 0; i < 8; i++) length[i] = (unsigned char)(bits >> (8 * i));
    md5_update(ctx, length, sizeof(length));
    for (int i = 0; i < 4; i++) {
        for (int j = 0; j < 4; j++) out[i * 4 + j] = (unsigned char)(ctx->state[i] >> (8 * j));
    }
}

void md5_bytes(const void* data, size_t len, unsigned char out[MD5_DIGEST_SIZE]) {
    Md5Context ctx;
    md5_init(&ctx);
    md5_update(&ctx, data, len);
    md5_final(&ctx, out);
}

std::string md5_digest(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    unsigned char digest[MD5_DIGEST_SIZE];
    md5_bytes(text.data(), text.size(), digest);
    std::string out(MD5_HEX_SIZE, '0');
    for (int i = 0; i < MD5_DIGEST_SIZE; i++) {
        out[i * 2] = hex[digest[i] >> 4];
        out[i * 2 + 1] = hex[digest[i] & 15];
    }
    return out;
}
