// SHA-256 message digest (FIPS 180-4, section 6.2), for recording which input bytes a
// run read.
#ifndef HELMERT2D_SRC_DIGEST_SHA256_H
#define HELMERT2D_SRC_DIGEST_SHA256_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace helmert2d::digest {

/// The SHA-256 digest of `bytes`: 32 bytes, most significant byte of H0 first.
std::array<std::uint8_t, 32> sha256(std::string_view bytes);

/// The same as 64 lower-case hexadecimal digits, as `sha256sum` prints it.
std::string sha256_hex(std::string_view bytes);

}  // namespace helmert2d::digest

#endif  // HELMERT2D_SRC_DIGEST_SHA256_H
