// The asset archive against archives written by Info-ZIP's zip and by our writer: lookup,
// stored and inflated members, data descriptors, and every way a damaged archive is refused.
#include "assets/archive.h"

#include "support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using testing_support::TempDir;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

// A compressible text of `size` bytes.
std::string sampleText(size_t size, int seed = 1) {
    std::string text;
    uint32_t x = uint32_t(seed);
    while (text.size() < size) {
        x = x * 214013 + 2531011;
        text += "member line " + std::to_string((x >> 16) & 0xFF) + "\n";
    }
    text.resize(size);
    return text;
}

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("DEMO_VIDEO", "headless", 1);
        closeArchives();
    }
    void TearDown() override { closeArchives(); }

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = dir_.file(name);
        writeFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    // Runs a shell command in the temporary folder (for zip); fails the test when it fails.
    void shell(const std::string& command) {
        auto result = testing_support::run("/bin/sh", {"-c", command}, {}, dir_.path());
        ASSERT_EQ(result.exitCode, 0) << command << "\n" << result.err;
    }
    // The member's bytes, or "<failed>" when readMember refuses it.
    std::string read(const char* name) {
        MemberData data{};
        if (!readMember(name, &data)) return "<failed>";
        std::string s(reinterpret_cast<char*>(data.data), size_t(data.size));
        std::free(data.data);
        return s;
    }

    TempDir dir_;
};

TEST_F(ArchiveTest, ReadsInfoZipArchivesStoredAndDeflated) {
    std::string text = sampleText(20000), small = "tiny";
    writeFile(dir_.file("addict1.jpg"), text);
    writeFile(dir_.file("small.txt"), small);
    writeFile(dir_.file("empty.raw"), "");
    shell("mkdir -p scenes && cp small.txt scenes/Part1.EXP");
    shell("zip -q -0 stored.zip addict1.jpg small.txt empty.raw scenes/Part1.EXP");
    shell("zip -q -9 deflated.zip addict1.jpg small.txt empty.raw scenes/Part1.EXP");

    for (const char* archive : {"stored.zip", "deflated.zip"}) {
        SCOPED_TRACE(archive);
        closeArchives();
        ASSERT_NE(openArchive(dir_.file(archive).c_str()), nullptr) << lastError << lastErrorDetail;
        EXPECT_EQ(archiveCount, 1);
        int count = 0;
        const ArchiveMember* members = archiveMembers(0, &count);
        EXPECT_EQ(count, 4);
        EXPECT_EQ(members[0].method, std::string(archive) == "stored.zip" ? 0 : 8);  // addict1.jpg sorts first
        EXPECT_EQ(read("addict1.jpg"), text);
        EXPECT_EQ(read("ADDICT1.JPG"), text);
        EXPECT_EQ(read("small.txt"), small);
        EXPECT_EQ(read("scenes/part1.exp"), small);
        EXPECT_EQ(read("empty.raw"), "");
    }
}

TEST_F(ArchiveTest, ReadsStreamedInfoZipArchivesWithDataDescriptors) {
    std::string text = sampleText(5000);
    writeFile(dir_.file("a.txt"), text);
    writeFile(dir_.file("empty.txt"), "");
    // Written to a pipe, zip cannot seek back: sizes and CRCs follow the data.
    shell("zip -q -fz- - a.txt empty.txt | cat > streamed.zip");
    std::string bytes = readFile(dir_.file("streamed.zip"));
    ASSERT_EQ(bytes[6] & 0x08, 0x08) << "expected a member with a data descriptor";
    ASSERT_TRUE(addArchive(dir_.file("streamed.zip").c_str())) << lastError << lastErrorDetail;
    EXPECT_EQ(read("A.TXT"), text);
    EXPECT_EQ(read("empty.txt"), "");
}

TEST_F(ArchiveTest, ReadsOurWritersMembersInEveryForm) {
    content::ZipWriter zip;
    std::string text = sampleText(30000, 7);
    zip.add("stored.bin", text, {content::ZipWriter::Method::stored});
    zip.add("deflated.bin", text);
    zip.add("descriptor.bin", text, {content::ZipWriter::Method::deflated, 9, true, true});
    zip.add("bare-descriptor.bin", text, {content::ZipWriter::Method::deflated, 1, true, false});
    zip.add("stored-descriptor.bin", text, {content::ZipWriter::Method::stored, 9, true, true});
    zip.add("empty-deflated.bin", std::string(), {content::ZipWriter::Method::deflated});
    zip.add("empty-stored.bin", std::string(), {content::ZipWriter::Method::stored});
    ASSERT_TRUE(addArchive(write("ours.zip", zip.finish()).c_str())) << lastError << lastErrorDetail;
    for (const char* name : {"stored.bin", "deflated.bin", "descriptor.bin", "bare-descriptor.bin", "stored-descriptor.bin"})
        EXPECT_EQ(read(name), text) << name;
    MemberData data{};
    ASSERT_EQ(readMember("empty-deflated.bin", &data), 1);
    EXPECT_EQ(data.size, 0);
    EXPECT_NE(data.data, nullptr);
    std::free(data.data);
    EXPECT_EQ(read("empty-stored.bin"), "");
}

// Zip tools put extra fields (time stamps, owners) after the names, often of other sizes in the
// local header than in the central directory, and comments in the directory: the data starts
// after the local header's own extra field.
TEST_F(ArchiveTest, ExtraFieldsAndCommentsAreSteppedOver) {
    using Options = content::ZipWriter::MemberOptions;
    const std::vector<uint8_t> timeStamp = {'U', 'T', 5, 0, 3, 0x10, 0x20, 0x30, 0x40};
    const std::vector<uint8_t> owner = {'u', 'x', 11, 0, 1, 4, 0xE8, 3, 0, 0, 4, 0xE8, 3, 0, 0};
    std::vector<uint8_t> both = timeStamp;
    both.insert(both.end(), owner.begin(), owner.end());
    std::string text = sampleText(3000, 3);
    Options stored{content::ZipWriter::Method::stored}, deflated, streamed{content::ZipWriter::Method::deflated, 9, true};
    stored.localExtra = both;
    stored.centralExtra = timeStamp;
    deflated.localExtra = std::vector<uint8_t>(300, 0x5A);   // longer than the data
    deflated.comment = "a member comment";
    streamed.localExtra = owner;
    streamed.centralExtra = both;
    content::ZipWriter zip;
    zip.add("stored.txt", text, stored);
    zip.add("deflated.txt", text, deflated);
    zip.add("streamed.txt", text, streamed);
    zip.add("tiny.txt", std::string("x"), stored);
    ASSERT_TRUE(addArchive(write("extra.zip", zip.finish()).c_str())) << lastError << lastErrorDetail;
    for (const char* name : {"stored.txt", "deflated.txt", "streamed.txt"}) EXPECT_EQ(read(name), text) << name;
    EXPECT_EQ(read("tiny.txt"), "x");
    EXPECT_EQ(findMember("stored.txt")->dataOffset, zip.placements()[0].dataOffset);
}

TEST_F(ArchiveTest, TheFirstArchiveOpenedWinsAndLookupIgnoresCase) {
    content::ZipWriter first, second;
    first.add("Shared.jpg", std::string("from the first"));
    second.add("shared.JPG", std::string("from the second"));
    second.add("only-second.raw", std::string("second only"));
    ASSERT_TRUE(addArchive(write("1.zip", first.finish()).c_str()));
    ASSERT_TRUE(addArchive(write("2.zip", second.finish()).c_str()));
    EXPECT_EQ(archiveCount, 2);
    EXPECT_EQ(read("SHARED.jpg"), "from the first");
    EXPECT_EQ(read("Only-Second.RAW"), "second only");
    EXPECT_STREQ(findMember("shared.jpg")->name, "Shared.jpg");
    EXPECT_EQ(findMember("shared.jp"), nullptr);
    EXPECT_EQ(findMember("shared.jpgx"), nullptr);
}

TEST_F(ArchiveTest, LookupFindsEveryMemberOfALargeArchive) {
    content::ZipWriter zip;
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
        // Names whose order depends on the case folding: '_' (0x5F) sorts after upper-case
        // letters but before lower-case ones in plain byte order.
        std::string name = (i % 2 ? "Tex_" : "tex") + std::to_string((i * 7919) % 1000) + (i % 3 ? ".JPG" : ".raw");
        names.push_back(name);
        zip.add(name, name, {content::ZipWriter::Method::stored});
    }
    ASSERT_TRUE(addArchive(write("many.zip", zip.finish()).c_str()));
    for (const std::string& name : names) EXPECT_EQ(read(name.c_str()), name);
}

TEST_F(ArchiveTest, OpenFailuresSetTheirMessages) {
    std::string missing = dir_.file("missing.dat");
    EXPECT_EQ(openArchive(missing.c_str()), nullptr);
    EXPECT_EQ(std::string(lastError), "[zip] Cant open file " + missing + "!\n");
    EXPECT_EQ(archiveCount, 0);

    std::string garbage = write("garbage.dat", bytesOf("this is not a zip archive at all"));
    EXPECT_EQ(openArchive(garbage.c_str()), nullptr);
    EXPECT_EQ(std::string(lastError), "[zip] Broken archive " + garbage + "\n");
    EXPECT_EQ(archiveCount, 0);

    // A folder opens, but nothing can be read from it.
    std::string folder = dir_.file("folder.dat");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(openArchive(folder.c_str()), nullptr);
    EXPECT_EQ(std::string(lastError), "[zip] Cant open file " + folder + "!\n");
    EXPECT_EQ(archiveCount, 0);
}

TEST_F(ArchiveTest, TheRegistryHoldsSixteenArchives) {
    content::ZipWriter zip;
    zip.add("a.txt", std::string("a"));
    std::string path = write("a.zip", zip.finish());
    for (int i = 0; i < maxArchives; ++i) ASSERT_TRUE(addArchive(path.c_str())) << i;
    EXPECT_FALSE(addArchive(path.c_str()));
    EXPECT_NE(std::string(lastError).find("Too many archives"), std::string::npos);
    EXPECT_EQ(archiveCount, maxArchives);
    closeArchives();
    EXPECT_EQ(archiveCount, -1);
    EXPECT_TRUE(addArchive(path.c_str()));
    EXPECT_EQ(read("a.txt"), "a");
}

// ---- Damaged archives ------------------------------------------------------------------------

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}
void put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}
// Offset of the second central directory header (the end record gives the first).
size_t secondCentralHeader(const std::vector<uint8_t>& bytes, const std::vector<content::ZipWriter::Placement>& m) {
    size_t record = bytes.size() - 22;
    size_t central = bytes[record + 16] | bytes[record + 17] << 8 | bytes[record + 18] << 16 | size_t(bytes[record + 19]) << 24;
    return central + 46 + m[0].name.size();
}

struct Damage {
    const char* what;
    void (*apply)(std::vector<uint8_t>& bytes, const std::vector<content::ZipWriter::Placement>& members);
};

// Each of these must make the open fail with "[zip] Broken archive".
const Damage structuralDamage[] = {
    {"compressed size past the end of the file",
     [](auto& b, auto& m) { put32(b, m[1].localHeaderOffset + 18, 0x7FFFFFF0); }},
    {"compressed size one byte too long", [](auto& b, auto& m) { put32(b, m[0].localHeaderOffset + 18, m[0].compressedSize + 1); }},
    {"name length past the end of the file", [](auto& b, auto& m) { put16(b, m[1].localHeaderOffset + 26, 0xFFFF); }},
    {"extra length past the end of the file", [](auto& b, auto& m) { put16(b, m[1].localHeaderOffset + 28, 0xFFF0); }},
    {"local header signature damaged", [](auto& b, auto& m) { b[m[1].localHeaderOffset + 2] ^= 0xFF; }},
    {"central header signature damaged",
     [](auto& b, auto& m) { b[secondCentralHeader(b, m) + 1] ^= 0xFF; }},
    {"central name length past the end",
     [](auto& b, auto& m) { put16(b, secondCentralHeader(b, m) + 28, 0xFFFF); }},
    {"end record signature damaged", [](auto& b, auto&) { b[b.size() - 22] ^= 0xFF; }},
    {"data descriptor member missing from the central directory",
     [](auto& b, auto& m) { put32(b, b.size() - 22 - 46 - m[2].name.size() + 42, 12345); }},
};

class ArchiveDamageTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        content::ZipWriter zip;
        zip.add("first.txt", sampleText(1000, 1));
        zip.add("second.raw", sampleText(2000, 2), {content::ZipWriter::Method::stored});
        zip.add("third.exp", sampleText(3000, 3), {content::ZipWriter::Method::deflated, 9, true, true});
        archive_ = zip.finish();
        members_ = zip.placements();
    }
    std::vector<uint8_t> archive_;
    std::vector<content::ZipWriter::Placement> members_;
};

TEST_F(ArchiveDamageTest, StructuralDamageFailsTheOpen) {
    ASSERT_TRUE(addArchive(write("intact.zip", archive_).c_str())) << lastErrorDetail;
    closeArchives();
    for (const Damage& damage : structuralDamage) {
        std::vector<uint8_t> bytes = archive_;
        damage.apply(bytes, members_);
        std::string path = write("damaged.zip", bytes);
        EXPECT_EQ(openArchive(path.c_str()), nullptr) << damage.what;
        EXPECT_EQ(std::string(lastError), "[zip] Broken archive " + path + "\n") << damage.what;
        EXPECT_NE(lastErrorDetail[0], '\0') << damage.what;
        EXPECT_EQ(archiveCount, 0) << damage.what;
    }
}

TEST_F(ArchiveDamageTest, EveryTruncationFailsTheOpen) {
    for (size_t size = 0; size < archive_.size(); ++size) {
        std::vector<uint8_t> bytes(archive_.begin(), archive_.begin() + long(size));
        std::string path = write("truncated.zip", bytes);
        ASSERT_EQ(openArchive(path.c_str()), nullptr) << "cut at " << size;
        ASSERT_EQ(std::string(lastError), "[zip] Broken archive " + path + "\n") << "cut at " << size;
    }
}

TEST_F(ArchiveDamageTest, DamagedContentIsRefusedOnRead) {
    struct Case {
        const char* what;
        size_t at;          // offset of a 32-bit field or a byte to change
        uint32_t value;     // new field value, or 0 to flip the byte
        bool setsMessage;   // whether lastError names packed data
    };
    const auto& first = members_[0];
    const Case cases[] = {
        {"CRC differs", first.localHeaderOffset + 14, first.crc32 ^ 1, true},
        {"stated size longer than the inflated data", first.localHeaderOffset + 22, first.uncompressedSize + 1, true},
        {"stated size shorter than the inflated data", first.localHeaderOffset + 22, first.uncompressedSize - 1, true},
        {"stated size beyond what deflate can expand to", first.localHeaderOffset + 22, 0x7FFFFFFF, true},
        {"stated size above 2 GiB", first.localHeaderOffset + 22, 0xFFFFFFF0, false},
        {"stored sizes differ", members_[1].localHeaderOffset + 22, members_[1].uncompressedSize + 100, true},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = archive_;
        put32(bytes, c.at, c.value);
        closeArchives();
        ASSERT_TRUE(addArchive(write("damaged.zip", bytes).c_str())) << c.what << ": " << lastErrorDetail;
        const char* name = c.at < members_[1].localHeaderOffset ? "first.txt" : "second.raw";
        lastError[0] = '\0';
        EXPECT_EQ(read(name), "<failed>") << c.what;
        if (c.setsMessage) {
            EXPECT_STREQ(lastError, "[zip] Errorn in packed data!\n") << c.what;
        }
        EXPECT_EQ(read("third.exp"), sampleText(3000, 3)) << c.what << ": other members still read";
    }

    // Damaged deflate data: refused whether zlib or the CRC notices. (The last byte is left
    // alone: its high bits may be padding that no decoder reads.)
    for (uint32_t i = 0; i + 1 < first.compressedSize; i += 7) {
        std::vector<uint8_t> bytes = archive_;
        bytes[first.dataOffset + i] ^= 0x5A;
        closeArchives();
        ASSERT_TRUE(addArchive(write("damaged.zip", bytes).c_str()));
        EXPECT_EQ(read("first.txt"), "<failed>") << "byte " << i;
    }
}

TEST_F(ArchiveTest, NamesOf256BytesOrMoreAreRefused) {
    content::ZipWriter fits, tooLong;
    fits.add(std::string(255, 'n'), std::string("x"));
    tooLong.add(std::string(256, 'n'), std::string("x"));
    EXPECT_TRUE(addArchive(write("fits.zip", fits.finish()).c_str()));
    EXPECT_FALSE(addArchive(write("long.zip", tooLong.finish()).c_str()));
}

TEST_F(ArchiveTest, AMissingMemberEndsTheProcessWithAMessageBox) {
    content::ZipWriter zip;
    zip.add("present.jpg", std::string("x"));
    ASSERT_TRUE(addArchive(write("a.zip", zip.finish()).c_str()));
    MemberData data{};
    EXPECT_EXIT(readMember("absent.jpg", &data), ::testing::ExitedWithCode(0), "\\[file not found\\] absent.jpg");
    EXPECT_EXIT(loadMember("absent.raw"), ::testing::ExitedWithCode(0), "\\[file not found\\] absent.raw");
}

TEST_F(ArchiveTest, LoadMemberStopsWhenTheMemberCannotBeRead) {
    content::ZipWriter zip;
    zip.add("bad.raw", sampleText(500));
    std::vector<uint8_t> bytes = zip.finish();
    put32(bytes, 14, zip.placements()[0].crc32 ^ 0xFFFF);
    ASSERT_TRUE(addArchive(write("a.zip", bytes).c_str()));
    EXPECT_EXIT(loadMember("bad.raw"), ::testing::ExitedWithCode(0), "\\[file not found\\] bad.raw");
}

}  // namespace
