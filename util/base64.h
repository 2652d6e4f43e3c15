// Base64 (RFC 4648, standard alphabet, "=" padding, no line breaks): maps
// travel to the service as text.
#pragma once

#include <cstddef>
#include <string>

std::string base64_encode(const void* data, size_t len);
std::string base64_encode(const std::string& bytes);

// Strict: the text must be whole groups of four alphabet characters, with
// "=" only as the last one or two and unused bits zero, so that every byte
// string has exactly one accepted text. Anything else returns false with a
// line on standard error and leaves *out empty.
bool base64_decode(const char* text, size_t len, std::string* out);
bool base64_decode(const std::string& text, std::string* out);
