// MD5 message digests (RFC 1321), for the account token the service checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum {
    MD5_DIGEST_SIZE = 16,  // bytes of a digest
    MD5_HEX_SIZE = 32,     // lowercase hexadecimal digits of a digest
    MD5_BLOCK_SIZE = 64,   // bytes the compression function takes at a time
};

// A digest in progress, for data that arrives in pieces.
struct Md5Context {
    uint32_t state[4];
    uint64_t bytes;                          // bytes taken so far
    unsigned char block[MD5_BLOCK_SIZE];     // the unfinished block
};

void md5_init(Md5Context* ctx);
void md5_update(Md5Context* ctx, const void* data, size_t len);
// Writes the digest; the context must be initialised again before reuse.
void md5_final(Md5Context* ctx, unsigned char out[MD5_DIGEST_SIZE]);

// The digest of len bytes.
void md5_bytes(const void* data, size_t len, unsigned char out[MD5_DIGEST_SIZE]);
// The digest of a text (any bytes) as 32 lowercase hexadecimal digits.
std::string md5_digest(const std::string& text);
