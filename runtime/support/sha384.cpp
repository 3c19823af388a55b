#include "support/sha384.h"

#ifdef _WIN32
// The CryptoAPI header needs windows.h before it.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on
#else
#include <openssl/evp.h>
#endif

namespace nxr {

#ifdef _WIN32

namespace {

class CryptProvider {
 public:
  CryptProvider() {
    if (!CryptAcquireContextW(&handle_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
      handle_ = 0;
    }
  }
  ~CryptProvider() {
    if (handle_) CryptReleaseContext(handle_, 0);
  }
  CryptProvider(const CryptProvider&) = delete;
  CryptProvider& operator=(const CryptProvider&) = delete;
  HCRYPTPROV get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

class CryptHash {
 public:
  explicit CryptHash(HCRYPTPROV provider) {
    if (!provider || !CryptCreateHash(provider, CALG_SHA_384, 0, 0, &handle_)) handle_ = 0;
  }
  ~CryptHash() {
    if (handle_) CryptDestroyHash(handle_);
  }
  CryptHash(const CryptHash&) = delete;
  CryptHash& operator=(const CryptHash&) = delete;
  HCRYPTHASH get() const { return handle_; }

 private:
  HCRYPTHASH handle_ = 0;
};

}  // namespace

bool sha384(const uint8_t* data, size_t length, Sha384Digest& digest) {
  CryptProvider provider;
  CryptHash hash(provider.get());
  if (!hash.get()) return false;
  // CryptHashData takes a 32-bit length; longer inputs go in pieces.
  while (length > 0) {
    DWORD piece = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    if (!CryptHashData(hash.get(), data, piece, 0)) return false;
    data += piece;
    length -= piece;
  }
  DWORD size = static_cast<DWORD>(digest.size());
  return CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0) &&
         size == digest.size();
}

#else

bool sha384(const uint8_t* data, size_t length, Sha384Digest& digest) {
  unsigned int size = 0;
  return EVP_Digest(data, length, digest.data(), &size, EVP_sha384(), nullptr) == 1 &&
         size == digest.size();
}

#endif

}  // namespace nxr
