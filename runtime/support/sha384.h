// SHA-384 digest: OpenSSL's libcrypto natively, the system CryptoAPI on Windows, so the runtime
// carries no crypto library of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nxr {

using Sha384Digest = std::array<uint8_t, 48>;

// False only when the platform's digest service fails.
bool sha384(const uint8_t* data, size_t length, Sha384Digest& digest);

}  // namespace nxr
