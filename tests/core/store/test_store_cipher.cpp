// The export-file cipher: its byte stream, round trips, the working files under
// ./Config, and failures reported as false.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ConfigFileCipher.h"
#include "StoreTestSupport.h"

namespace {

const char* const kEncrypted = "Config/encrypted.cfg";
const char* const kDecrypted = "Config/decrypted.cfg";

std::string Bytes(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Removes ./Config and what it holds (files and empty folders only).
void RemoveConfigFolder() {
    if (DIR* dir = opendir("Config")) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                std::string path = "Config/" + name;
                if (remove(path.c_str()) != 0) {
                    rmdir(path.c_str());
                }
            }
        }
        closedir(dir);
    }
    remove("Config");
}

std::vector<std::string> ConfigEntries() {
    std::vector<std::string> names;
    if (DIR* dir = opendir("Config")) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

class CipherTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveConfigFolder(); }
    void TearDown() override { RemoveConfigFolder(); }

    // Enciphers a file holding the bytes and returns what the target holds.
    std::string Encipher(const std::string& bytes) {
        WriteWholeFile("source.db", bytes);
        ConfigFileCipher cipher;
        int size = cipher.GetFileSize("source.db");
        EXPECT_EQ(size, static_cast<int>(bytes.size()));
        EXPECT_TRUE(cipher.EncryptFile(size, "source.db"));
        return ReadWholeFile(kEncrypted);
    }

    LogCapture log;
};

TEST_F(CipherTest, ByteStreamIsTheSpecifiedOneNotRc4) {
    // The key stream itself: zero bytes enciphered. RC4 with the same key starts 9b 72 5e.
    std::string stream = Encipher(std::string(600, '\0'));
    ASSERT_EQ(stream.size(), 600u);
    EXPECT_EQ(stream.substr(0, 16), Bytes({0x55, 0x96, 0xa7, 0x6e, 0xbd, 0xfb, 0x61, 0x4a, 0xe9, 0x02, 0xdd,
                                           0xd7, 0x8e, 0x8b, 0x92, 0x4a}));
    // Past the wrap of the 8-bit counter i.
    EXPECT_EQ(stream.substr(248, 16), Bytes({0x78, 0x6e, 0x71, 0x2f, 0x5d, 0xcf, 0xb7, 0x57, 0xc0, 0x99, 0xc0,
                                             0xd0, 0xa5, 0x38, 0x8d, 0x6a}));
    EXPECT_EQ(log.Text(), "");
}

TEST_F(CipherTest, RoundTripRestoresEveryByteAndExportsAreRepeatable) {
    std::string original;
    for (int i = 0; i < 100000; ++i) {
        original.push_back(static_cast<char>((i * 7919) ^ (i >> 8)));
    }
    std::string enciphered = Encipher(original);
    ASSERT_EQ(enciphered.size(), original.size());
    EXPECT_NE(enciphered, original);
    EXPECT_EQ(Encipher(original), enciphered);

    WriteWholeFile("export.cfg", enciphered);
    ConfigFileCipher cipher;
    int size = cipher.GetFileSize("export.cfg");
    ASSERT_EQ(size, static_cast<int>(original.size()));
    ASSERT_TRUE(cipher.DecryptFile(size, "export.cfg"));
    EXPECT_EQ(ReadWholeFile(kDecrypted), original);
}

// The byte stream over a whole buffer at once, written out here as the reference the
// file operation must match whatever pieces it works in.
std::string WholeBufferTransform(std::string data) {
    const char key[] = "h4TqW9zLmR2xKc7VbN5pYs8GdJf3EwUa6ZtQo1HkXe0MiCrBvPn4SyDl7AgFj2";
    unsigned char S[256];
    for (int i = 0; i < 256; ++i) {
        S[i] = static_cast<unsigned char>(i);
    }
    unsigned j = 0;
    for (int i = 0; i < 256; ++i) {
        j = (j + S[i] + static_cast<unsigned char>(key[i % (sizeof key - 1)])) & 0xFF;
        std::swap(S[i], S[j]);
    }
    unsigned char i = 0;
    unsigned char jj = 0;
    for (char& byte : data) {
        unsigned char a = S[i];
        jj = static_cast<unsigned char>(jj + a);
        S[i] = S[jj];
        S[jj] = a;
        byte = static_cast<char>(byte ^ S[static_cast<unsigned char>(a + S[i])]);
        ++i;
    }
    return data;
}

TEST_F(CipherTest, FileOfSeveralChunksMatchesTheWholeBufferTransform) {
    // Three chunks of 1 MiB and a part, a size that is no multiple of the chunk or of the
    // 256 steps of the stream's counter.
    std::string original;
    const size_t size = 3 * 1024 * 1024 + 777;
    original.reserve(size);
    for (size_t n = 0; n < size; ++n) {
        original.push_back(static_cast<char>((n * 2654435761u) >> 13));
    }
    const std::string enciphered = Encipher(original);
    ASSERT_EQ(enciphered.size(), size);
    EXPECT_TRUE(enciphered == WholeBufferTransform(original));

    WriteWholeFile("export.cfg", enciphered);
    ConfigFileCipher cipher;
    ASSERT_TRUE(cipher.DecryptFile(static_cast<int>(size), "export.cfg"));
    EXPECT_TRUE(ReadWholeFile(kDecrypted) == original);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(CipherTest, SourceEndingAfterSomeChunksLeavesNoPartialTarget) {
    WriteWholeFile("source.db", std::string(2 * 1024 * 1024 + 5, 'x'));
    ConfigFileCipher cipher;
    EXPECT_FALSE(cipher.EncryptFile(3 * 1024 * 1024, "source.db"));
    EXPECT_EQ(log.Text(), "System :: Error exporting file!\n");
    EXPECT_EQ(access(kEncrypted, F_OK), -1);
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>());
}

TEST_F(CipherTest, WorkingFilesArePrivateAndNoTemporaryFileStays) {
    Encipher("secret");
    WriteWholeFile("export.cfg", ReadWholeFile(kEncrypted));
    ConfigFileCipher cipher;
    ASSERT_TRUE(cipher.DecryptFile(6, "export.cfg"));
    for (const char* path : {kEncrypted, kDecrypted}) {
        struct stat info;
        ASSERT_EQ(stat(path, &info), 0) << path;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
    }
    std::vector<std::string> entries = ConfigEntries();
    EXPECT_EQ(entries.size(), 2u);
}

TEST_F(CipherTest, EmptyFileGivesEmptyTarget) {
    EXPECT_EQ(Encipher(""), "");
    struct stat info;
    ASSERT_EQ(stat(kEncrypted, &info), 0);
    EXPECT_EQ(info.st_size, 0);
}

TEST_F(CipherTest, MissingSourceIsReportedByBothCalls) {
    ConfigFileCipher cipher;
    EXPECT_EQ(cipher.GetFileSize("missing.db"), -1);
    EXPECT_FALSE(cipher.EncryptFile(10, "missing.db"));
    EXPECT_EQ(log.Text(), "System :: Failed to open file: missing.db!\n"
                          "System :: Faile to open user import file: \n");
    EXPECT_EQ(access(kEncrypted, F_OK), -1);
}

TEST_F(CipherTest, FolderThatIsNoFolderCannotBeCreated) {
    WriteWholeFile("Config", "a file where the folder should be");
    WriteWholeFile("source.db", "data");
    ConfigFileCipher cipher;
    EXPECT_FALSE(cipher.EncryptFile(4, "source.db"));
    EXPECT_EQ(log.Text(), "System :: Failed to create directory! \n");
    remove("Config");
}

TEST_F(CipherTest, ShortReadLeavesThePreviousTarget) {
    Encipher("previous export");
    const std::string previous = ReadWholeFile(kEncrypted);
    log.Clear();

    WriteWholeFile("source.db", "short");
    ConfigFileCipher cipher;
    EXPECT_FALSE(cipher.EncryptFile(50, "source.db"));
    EXPECT_EQ(log.Text(), "System :: Error exporting file!\n");
    EXPECT_EQ(ReadWholeFile(kEncrypted), previous);
    EXPECT_EQ(ConfigEntries().size(), 1u);
}

TEST_F(CipherTest, TargetThatCannotBeReplacedIsReportedAsFailure) {
    ASSERT_EQ(mkdir("Config", 0700), 0);
    ASSERT_EQ(mkdir(kDecrypted, 0700), 0);
    ASSERT_EQ(mkdir("Config/decrypted.cfg/inside", 0700), 0);
    WriteWholeFile("export.cfg", "data");
    ConfigFileCipher cipher;
    EXPECT_FALSE(cipher.DecryptFile(4, "export.cfg"));
    EXPECT_EQ(log.Text(), "System :: Error importing file!\n");
    EXPECT_EQ(ConfigEntries(), std::vector<std::string>{"decrypted.cfg"});
    rmdir("Config/decrypted.cfg/inside");
}

TEST_F(CipherTest, SizeOfAFolderOrNegativeLengthIsRefused) {
    ConfigFileCipher cipher;
    ASSERT_EQ(mkdir("folder", 0700), 0);
    EXPECT_EQ(cipher.GetFileSize("folder"), -1);
    EXPECT_TRUE(log.Contains("System :: Failed to open file: folder!\n"));
    rmdir("folder");

    WriteWholeFile("source.db", "data");
    EXPECT_FALSE(cipher.EncryptFile(-1, "source.db"));
    EXPECT_EQ(access(kEncrypted, F_OK), -1);
}

} // namespace
