// FileEncrypt and FileDecrypt: whole files, and the destination untouched on
// every refusal.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace kestrane_test;

const FileOperation kEncrypt = &CKestraneEncrypt::FileEncrypt;
const FileOperation kDecrypt = &CKestraneEncrypt::FileDecrypt;

class FileCodec : public ::testing::Test {
protected:
    TempDir dir;
    const std::string source = dir / "source";
    const std::string destination = dir / "destination";
};

TEST_F(FileCodec, RoundTripsFilesOfSeveralSizes)
{
    for (const std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{100}, std::size_t{4096},
                                (std::size_t{1} << 20) + 3, (std::size_t{9} << 20) + 1}) {
        const Bytes plain = Pattern(n, static_cast<unsigned>(n));
        WriteFile(source, plain);

        ASSERT_TRUE(CKestraneEncrypt::FileEncrypt(source.c_str(), destination.c_str())) << n;
        const Bytes record = ReadFile(destination);
        ASSERT_EQ(record.size(), n + 1);
        ASSERT_LT(record[0], 30);
        EXPECT_EQ(record, ExpectedRecord(plain, record[0])) << n;

        const std::string back = dir / "back";
        ASSERT_TRUE(CKestraneEncrypt::FileDecrypt(destination.c_str(), back.c_str())) << n;
        EXPECT_EQ(ReadFile(back), plain) << n;
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"back", "destination", "source"}));
    }
}

TEST_F(FileCodec, OneByteRecordDecryptsToAnEmptyFile)
{
    WriteFile(source, Bytes{12});
    WriteFile(destination, Bytes{1, 2, 3});
    ASSERT_TRUE(CKestraneEncrypt::FileDecrypt(source.c_str(), destination.c_str()));
    EXPECT_TRUE(Exists(destination));
    EXPECT_EQ(ReadFile(destination), Bytes{});
}

// Any file whose first byte is 0..29 is taken for a record.
TEST_F(FileCodec, DecryptsANeverScrambledFileThatStartsWithAKeyIndex)
{
    WriteFile(source, Bytes{3, 'a', 'b', 0});
    ASSERT_TRUE(CKestraneEncrypt::FileDecrypt(source.c_str(), destination.c_str()));
    const unsigned char key = kestrane::kKeyTable[3];
    EXPECT_EQ(ReadFile(destination), (Bytes{static_cast<unsigned char>('a' ^ key),
                                            static_cast<unsigned char>('b' ^ key), key}));
}

TEST_F(FileCodec, WorksInPlaceOnOnePath)
{
    const Bytes plain = Pattern(10000);
    WriteFile(source, plain);
    ASSERT_TRUE(CKestraneEncrypt::FileEncrypt(source.c_str(), source.c_str()));
    const Bytes record = ReadFile(source);
    ASSERT_EQ(record.size(), plain.size() + 1);
    EXPECT_EQ(record, ExpectedRecord(plain, record[0]));

    ASSERT_TRUE(CKestraneEncrypt::FileDecrypt(source.c_str(), source.c_str()));
    EXPECT_EQ(ReadFile(source), plain);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"source"});
}

// Every refusal: false, the destination as it was (absent, or with its old
// content), the source untouched, nothing left behind.
TEST_F(FileCodec, RefusalsLeaveTheDestinationAsItWas)
{
    struct Case {
        const char* name;
        FileOperation operation;
        std::function<void(const std::string&)> makeSource;  // nothing: no source
    };
    const auto bytes = [](Bytes content) {
        return [content](const std::string& path) { WriteFile(path, content); };
    };
    const auto directory = [](const std::string& path) { std::filesystem::create_directory(path); };
    const Case cases[] = {
        {"empty source, encrypt", kEncrypt, bytes({})},
        {"empty source, decrypt", kDecrypt, bytes({})},
        {"first byte 30", kDecrypt, bytes({30, 1, 2})},
        {"first byte 127", kDecrypt, bytes({127, 1, 2})},
        {"first byte 128", kDecrypt, bytes({128})},
        {"first byte 255", kDecrypt, bytes({255, 0})},
        {"missing source, encrypt", kEncrypt, nullptr},
        {"missing source, decrypt", kDecrypt, nullptr},
        {"directory as source, encrypt", kEncrypt, directory},
        {"directory as source, decrypt", kDecrypt, directory},
    };
    const Bytes old{'o', 'l', 'd'};
    for (const Case& c : cases) {
        for (const bool destinationExists : {false, true}) {
            TempDir scratch;
            const std::string from = scratch / "source";
            const std::string to = scratch / "destination";
            if (c.makeSource) {
                c.makeSource(from);
            }
            const bool sourceIsFile = std::filesystem::is_regular_file(from);
            const Bytes sourceBefore = sourceIsFile ? ReadFile(from) : Bytes{};
            if (destinationExists) {
                WriteFile(to, old);
            }
            const auto entriesBefore = scratch.Entries();

            EXPECT_FALSE(c.operation(from.c_str(), to.c_str())) << c.name;
            EXPECT_EQ(Exists(to), destinationExists) << c.name;
            if (destinationExists) {
                EXPECT_EQ(ReadFile(to), old) << c.name;
            }
            if (sourceIsFile) {
                EXPECT_EQ(ReadFile(from), sourceBefore) << c.name;
            }
            EXPECT_EQ(scratch.Entries(), entriesBefore) << c.name;

            // The same refusal in place leaves the one file as it was.
            if (sourceIsFile) {
                EXPECT_FALSE(c.operation(from.c_str(), from.c_str())) << c.name << ", in place";
                EXPECT_EQ(ReadFile(from), sourceBefore) << c.name << ", in place";
            }
        }
    }
}

TEST_F(FileCodec, RefusesNullPathsAndAMissingDestinationDirectory)
{
    WriteFile(source, Bytes{1, 2, 3});
    const std::string nowhere = dir / "missing/destination";
    for (const FileOperation operation : {kEncrypt, kDecrypt}) {
        EXPECT_FALSE(operation(nullptr, destination.c_str()));
        EXPECT_FALSE(operation(source.c_str(), nullptr));
        EXPECT_FALSE(operation(nullptr, nullptr));
        EXPECT_FALSE(operation(source.c_str(), nowhere.c_str()));
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"source"});
    EXPECT_EQ(ReadFile(source), (Bytes{1, 2, 3}));
}

}  // namespace
