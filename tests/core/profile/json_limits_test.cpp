// The size cap of every JSON data file: files over it are refused before anything is read,
// files that grow or tell no size are read no further than it, nothing over it is written,
// and reading the worst document under it stays below 100 MB.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/platform/files.h"
#include "core/profile/json_file.h"
#include "profile_test_util.h"
#include "test_support/peak_memory.h"

using namespace tellune;
using tellune::test::parse;
using tellune::test::write_text;

namespace {

constexpr long long kMiB = 1024 * 1024;

// A file of `size` bytes whose blocks are never written (sparse): large files cost no disk.
void make_sparse(const std::string& path, off_t size, const std::string& head) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, head.data(), head.size()), ssize_t(head.size()));
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

// "[" + n copies of `item` separated by commas + "]".
std::string array_of(const std::string& item, long long n) {
    std::string out = "[";
    out.reserve(size_t(n) * (item.size() + 1) + 2);
    for (long long i = 0; i < n; ++i) {
        if (i) out += ',';
        out += item;
    }
    return out + "]";
}

}  // namespace

TEST(JsonLimits, CountsValuesKeysAndCommentsAsTheyCost) {
    // { 2, "a" 1, [ 2, 1 1, 2.5 1, "x,y" 1, "b" 1, {} 2.
    EXPECT_EQ(count_json_values(R"({"a": [1, 2.5, "x,y"], "b": {}})"), 11);
    // Escaped quotes and brackets inside strings are text.
    EXPECT_EQ(count_json_values(R"(["a\"b[{", "c\\"])"), 4);
    // Each comment costs 2, whatever it holds.
    EXPECT_EQ(count_json_values("// [1,2,3]\n[1 /* {x} */, true]"), 8);
    EXPECT_EQ(count_json_values("[-1e5,null,false]"), 5);
    EXPECT_EQ(count_json_values(""), 0);
    // Text that is not JSON is counted all the same, without running off its end.
    EXPECT_EQ(count_json_values("\"unterminated"), 1);
    EXPECT_EQ(count_json_values("/* open"), 2);
    EXPECT_EQ(count_json_values("a/b"), 1);
}

TEST(JsonLimits, FilesOverTheCapAreRefusedBeforeTheyAreRead) {
    TempDir tmp;
    const std::string path = tmp.file("big.Json");
    // 60 MB that would parse: refused by its size, before a byte of it is taken.
    make_sparse(path, 60 * 1000 * 1000, R"({"profilename": "big", "profileUUID": "u", "x": ")");
    JsonFileState state = JsonFileState::kRead;
    Json::Value doc;
    const long long grown = peak_memory_growth([&] { doc = read_json(path, &state); });
    EXPECT_EQ(state, JsonFileState::kTooLarge);
    EXPECT_TRUE(doc.isNull());
    EXPECT_TRUE(is_damaged(state));
    if (grown >= 0 && !kSanitizedBuild) {
        EXPECT_LT(grown, 2 * kMiB);
    }

    // The cap itself is allowed, one byte more is not.
    const std::string body = R"({"pad": ")";
    std::string exact = body + std::string(size_t(kMaxJsonFileSize) - body.size() - 2, 'p') + "\"}";
    ASSERT_EQ(std::int64_t(exact.size()), kMaxJsonFileSize);
    write_text(path, exact);
    EXPECT_TRUE(read_json(path, &state).isObject());
    EXPECT_EQ(state, JsonFileState::kRead);
    write_text(path, exact + " ");
    EXPECT_TRUE(read_json(path, &state).isNull());
    EXPECT_EQ(state, JsonFileState::kTooLarge);
    EXPECT_EQ(readjsonFile(path), "");
}

TEST(JsonLimits, AFileThatToldNoSizeIsReadNoFurtherThanTheCap) {
    // The kernel gives this file no size, yet reading it yields more than the cap (eight
    // bytes per page of the address space): the old size-based read took it as empty, a
    // read to the end without a bound would never finish.
    JsonFileState state = JsonFileState::kRead;
    EXPECT_EQ(readjsonFile("/proc/self/pagemap", &state), "");
    EXPECT_EQ(state, JsonFileState::kTooLarge);
    // Small files without a size are read whole.
    const std::string status = readjsonFile("/proc/self/status", &state);
    EXPECT_EQ(state, JsonFileState::kRead);
    EXPECT_NE(status.find("VmRSS:"), std::string::npos);

    TempDir tmp;
    write_text(tmp.file("empty.Json"), "");
    EXPECT_TRUE(read_json(tmp.file("empty.Json"), &state).isNull());
    EXPECT_EQ(state, JsonFileState::kEmpty);
    EXPECT_FALSE(is_damaged(state));
    EXPECT_TRUE(read_json(tmp.file("none.Json"), &state).isNull());
    EXPECT_EQ(state, JsonFileState::kMissing);
    EXPECT_TRUE(read_json(tmp.path().string(), &state).isNull());
    EXPECT_EQ(state, JsonFileState::kNotAFile);
    write_text(tmp.file("bad.Json"), "{\"a\": ");
    EXPECT_TRUE(read_json(tmp.file("bad.Json"), &state).isNull());
    EXPECT_EQ(state, JsonFileState::kNotJson);
}

TEST(JsonLimits, NothingTheReaderWouldRefuseIsWritten) {
    TempDir tmp;
    const std::string path = tmp.file("p.Json");
    ASSERT_TRUE(write_json_file(path, parse(R"({"keep": 1})")));
    // Compact, 300 000 zeros take 600 KB; in the styled layout each takes a line of its own
    // (some 18 bytes this deep), which the next start would refuse to read.
    Json::Value wide(Json::objectValue);
    Json::Value& zeros = wide["Device"][0]["Deep"]["Deeper"]["Zeros"] =
        Json::Value(Json::arrayValue);
    for (int i = 0; i < 300000; ++i) zeros.append(0);
    EXPECT_GT(styled_json(wide).size(), size_t(kMaxJsonFileSize));
    EXPECT_FALSE(write_json_file(path, wide));
    // Small enough (about 3 MB styled), but with more values than the reader takes.
    Json::Value many(Json::arrayValue);
    for (long long i = 0; i < kMaxJsonValues; ++i) many.append(0);
    EXPECT_FALSE(write_json_file(path, many));
    many.resize(Json::ArrayIndex(kMaxJsonValues - 2));
    EXPECT_TRUE(write_json_file(tmp.file("at_limit.Json"), many));
    EXPECT_EQ(read_json(tmp.file("at_limit.Json")).size(), Json::ArrayIndex(kMaxJsonValues - 2));

    EXPECT_EQ(read_json(path), parse(R"({"keep": 1})"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()),
                            std::filesystem::directory_iterator{}),
              2);
}

TEST(JsonLimits, TooManyValuesAreRefusedBeforeParsing) {
    // Within the byte cap, but one value past the count: refused.
    const std::string over = array_of("0", kMaxJsonValues - 1);
    ASSERT_EQ(count_json_values(over), kMaxJsonValues + 1);
    ASSERT_LT(std::int64_t(over.size()), kMaxJsonFileSize);
    JsonFileState state = JsonFileState::kRead;
    EXPECT_TRUE(parse_json(over, &state).isNull());
    EXPECT_EQ(state, JsonFileState::kNotJson);
    const std::string at = array_of("0", kMaxJsonValues - 2);
    const Json::Value doc = parse_json(at, &state);
    EXPECT_EQ(state, JsonFileState::kRead);
    EXPECT_EQ(doc.size(), Json::ArrayIndex(kMaxJsonValues - 2));
}

// The costliest shapes of document the limits let through, each read from a file.
TEST(JsonLimits, ReadingAnyCappedFileStaysUnder100MB) {
    if (kSanitizedBuild) GTEST_SKIP() << "sanitizers add their own memory";
    TempDir tmp;
    const std::string path = tmp.file("worst.Json");
    // The measurement itself must see memory that is taken.
    const long long probe = peak_memory_growth([] {
        std::vector<char> block(size_t(50 * kMiB), 1);
        EXPECT_EQ(block[size_t(10 * kMiB)], 1);
    });
    if (probe < 0) GTEST_SKIP() << "the kernel does not let the peak be reset";
    ASSERT_GT(probe, 45 * kMiB);

    const long long v = kMaxJsonValues;
    std::string keys = "{";
    for (long long i = 0; i < v / 2 - 1; ++i) {
        if (i) keys += ',';
        keys += "\"k" + std::to_string(i) + "\":0";
    }
    keys += "}";
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"zeros", array_of("0", v - 2)},
        {"empty arrays", array_of("[]", v / 2 - 1)},
        {"empty objects", array_of("{}", v / 2 - 1)},
        {"short strings", array_of("\"\"", v - 2)},
        {"strings with comments", array_of("\"x\"/**/", v / 3 - 1)},
        {"keys", keys},
        {"long strings", array_of("\"" + std::string(200, 's') + "\"", 4 * kMiB / 204)},
        {"one string", "[\"" + std::string(size_t(kMaxJsonFileSize) - 4, 'z') + "\"]"},
        {"escapes", "[\"" + std::string(size_t(kMaxJsonFileSize) - 4, '\\') + "\"]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_LE(std::int64_t(c.text.size()), kMaxJsonFileSize);
        write_text(path, c.text);
        JsonFileState state = JsonFileState::kNotJson;
        const long long grown = peak_memory_growth([&] {
            const Json::Value doc = read_json(path, &state);
            EXPECT_FALSE(doc.isNull());
        });
        EXPECT_EQ(state, JsonFileState::kRead);
        EXPECT_LT(grown, 100 * kMiB);
        RecordProperty(std::string("peak_MiB_") + c.what, std::to_string(grown / kMiB));
    }
}
