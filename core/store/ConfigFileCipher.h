// Enciphers and deciphers the exported profile file: the whole database file, byte for
// byte, with the built-in key; no header, no checksum, the same length as its source.
// Enciphering and deciphering are the same transform.
//
// Existing export files depend on the key and the byte stream: neither may change.
#pragma once

#include <cstddef>
#include <cstdint>

class ConfigFileCipher {
public:
    ConfigFileCipher();
    ~ConfigFileCipher();

    // S[i] := i.
    void InitState();
    // T[i] := key[i mod key length].
    void InitKeyTable();
    // The key schedule: InitState, InitKeyTable, then the permutation of S by T.
    void ScheduleKey();

    // Transforms the first `length` bytes of the source into "./Config/encrypted.cfg" or
    // "./Config/decrypted.cfg", a chunk at a time. The target is written whole or not at
    // all, private to the user; a failed read or write gives false.
    bool EncryptFile(int length, const char* sourcePath);
    bool DecryptFile(int length, const char* sourcePath);

    // The size in bytes of a regular file, or -1.
    int GetFileSize(const char* path);

private:
    bool TransformFile(int length, const char* sourcePath, const char* targetPath, const char* failureLine);
    // Transforms the next bytes of the stream; TransformFile sets the stream to its start.
    void Transform(unsigned char* data, size_t length);

    uint8_t S[256];
    uint8_t T[256];
    const char* key;
    // Where the byte stream stands between two chunks of one file.
    uint8_t streamI = 0;
    uint8_t streamJ = 0;
};
