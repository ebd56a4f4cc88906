// The fixed paths of the store layer, relative to the working directory.
#pragma once

namespace StorePaths {

// Working files of the export cipher.
constexpr const char* kConfigDir = "Config";
constexpr const char* kEncryptedFile = "./Config/encrypted.cfg";
constexpr const char* kDecryptedFile = "./Config/decrypted.cfg";
// Temporary file beside a working file while it is written.
constexpr const char* kTempSuffix = ".XXXXXX";

} // namespace StorePaths
