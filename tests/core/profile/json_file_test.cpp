#include "core/profile/json_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "core/platform/platform.h"
#include "profile_test_util.h"

namespace fs = std::filesystem;
using namespace tellune;
using tellune::test::parse;
using tellune::test::write_text;

namespace {

// Collects debug lines for the lifetime of the object.
struct DebugCapture {
    std::vector<std::string> lines;
    DebugCapture() {
        set_debug_sink([this](std::string_view l) { lines.emplace_back(l); });
    }
    ~DebugCapture() { set_debug_sink(nullptr); }
};

}  // namespace

TEST(JsonFile, ReadWholeFileOrNothing) {
    TempDir tmp;
    const std::string path = tmp.file("a.Json");
    write_text(path, std::string("{\"a\":1}\0tail", 12));
    EXPECT_EQ(readjsonFile(path), std::string("{\"a\":1}\0tail", 12));

    DebugCapture capture;
    EXPECT_EQ(readjsonFile(tmp.file("missing.Json")), "");
    ASSERT_FALSE(capture.lines.empty());
    EXPECT_EQ(capture.lines.front(), "readjsonFile 错误吗：：" + std::to_string(ENOENT));

    // A folder or a FIFO under a data file name reads as nothing and does not block.
    EXPECT_EQ(readjsonFile(tmp.path().string()), "");
    const std::string fifo = tmp.file("pipe.Json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readjsonFile(fifo), "");
    EXPECT_TRUE(read_json(fifo).isNull());
}

TEST(JsonFile, ReadJsonGivesNullForAnythingButJson) {
    TempDir tmp;
    const std::string path = tmp.file("x.Json");
    const std::vector<std::string> bad = {
        "",
        "{\"Device\": [ {\"LightInfo\": {\"Sel",
        std::string("\x00\xff\xfe\x01garbage\x80", 12),
        "not json at all",
        "{\"a\": 1,,}",
    };
    for (const std::string& text : bad) {
        write_text(path, text);
        EXPECT_TRUE(read_json(path).isNull()) << text;
    }
    // Depth beyond the reader's limit is refused instead of crashing the parser.
    write_text(path, std::string(200000, '[') + std::string(200000, ']'));
    EXPECT_TRUE(read_json(path).isNull());
    write_text(path, "[1, 2]");
    EXPECT_TRUE(read_json(path).isArray());
    // Comments are accepted, as hand-edited files have them.
    write_text(path, "// profile\n{\n  \"a\": 5 /* five */\n}\n");
    EXPECT_EQ(read_json(path)["a"].asInt(), 5);
    EXPECT_TRUE(read_json(tmp.file("none.Json")).isNull());
}

TEST(JsonFile, WriteUsesStyledLayoutAndRoundTripsUtf8) {
    TempDir tmp;
    const std::string path = tmp.file("out.Json");
    Json::Value v(Json::objectValue);
    v["a"] = 1;
    v["b"].append(1);
    v["b"].append(2);
    v["c"] = "Profil ü 配置";
    EXPECT_EQ(write_json(path, v), 0);
    EXPECT_EQ(readjsonFile(path),
              "{\n   \"a\" : 1,\n   \"b\" : [ 1, 2 ],\n   \"c\" : \"Profil \\u00fc "
              "\\u914d\\u7f6e\"\n}\n");
    EXPECT_EQ(read_json(path), v);
}

// The writer would cut "value\0..." to "value": a second member of that name, read back in
// place of the one just written. Found by fuzzing updatetime.config.
TEST(JsonFile, KeysWithAZeroByteAreNotWrittenOverOthers) {
    TempDir tmp;
    const std::string path = tmp.file("out.Json");
    const std::string text = std::string(R"({"t": {"value)") + std::string(3, '\0') +
                             R"(": "old", "kept": 1}, "list": [{"a)" + std::string(1, '\0') +
                             R"(b": 2, "a": 3}]})";
    Json::Value v = parse_json(text);
    ASSERT_TRUE(v.isObject());
    v["t"]["value"] = "new";
    ASSERT_TRUE(write_json_file(path, v));
    const Json::Value back = read_json(path);
    EXPECT_EQ(back["t"]["value"], "new");
    EXPECT_EQ(back["t"]["kept"], 1);
    EXPECT_EQ(back["t"].size(), 2u);
    EXPECT_EQ(back["list"][0]["a"], 3);
    EXPECT_EQ(back["list"][0].size(), 1u);
}

TEST(JsonFile, FailedWriteKeepsOldFileAndIsReported) {
    TempDir tmp;
    const std::string path = tmp.file("p.Json");
    ASSERT_TRUE(write_json_file(path, parse(R"({"keep": true})")));
    Json::Value big(Json::objectValue);
    big["blob"] = std::string(8192, 'x');

    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = write_json_file(path, big);
    const int legacy = write_json(path, big);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(legacy, 0);
    EXPECT_EQ(read_json(path), parse(R"({"keep": true})"));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator{}), 1);
    EXPECT_FALSE(write_json_file(tmp.file("no/such/folder/p.Json"), big));
}

TEST(JsonAccess, WrongTypesReadAsMissing) {
    const Json::Value doc = parse(R"({
        "int": 7, "neg": -3, "dbl": 2.9, "big": 4294967296, "huge": 1e300,
        "str": "12", "arr": [1, 2], "obj": {"x": 1}, "t": true, "f": false, "nul": null
    })");
    EXPECT_EQ(json_int(doc["int"]), 7);
    EXPECT_EQ(json_int(doc["neg"]), -3);
    EXPECT_EQ(json_int(doc["dbl"]), 2);
    EXPECT_EQ(json_int(doc["big"], -1), -1);
    EXPECT_EQ(json_int(doc["huge"], -1), -1);
    EXPECT_EQ(json_int(doc["str"], -1), -1);
    EXPECT_EQ(json_int(doc["arr"], -1), -1);
    EXPECT_EQ(json_int(doc["obj"], -1), -1);
    EXPECT_EQ(json_int(doc["t"]), 1);
    EXPECT_EQ(json_int(doc["nul"], 9), 9);

    EXPECT_TRUE(json_bool(doc["int"]));
    EXPECT_TRUE(json_bool(doc["big"]));
    EXPECT_FALSE(json_bool(doc["f"], true));
    EXPECT_TRUE(json_bool(doc["str"], true));
    EXPECT_FALSE(json_bool(doc["obj"]));

    EXPECT_EQ(json_string(doc["str"]), "12");
    EXPECT_EQ(json_string(doc["int"], "none"), "none");

    // Lookups into values of the wrong kind give null instead of throwing.
    EXPECT_TRUE(json_get(doc, "missing").isNull());
    EXPECT_TRUE(json_get(doc["arr"], "x").isNull());
    EXPECT_TRUE(json_get(doc["int"], "x").isNull());
    EXPECT_TRUE(json_get(doc, 0).isNull());
    EXPECT_EQ(json_int(json_get(doc["arr"], 1)), 2);
    EXPECT_TRUE(json_get(doc["arr"], 2).isNull());
    EXPECT_TRUE(json_get(doc["arr"], -1).isNull());
    EXPECT_TRUE(json_get(doc["str"], 0).isNull());
}

TEST(JsonAccess, SlotsReplaceValuesOfTheWrongKind) {
    Json::Value v = 5;
    json_slot(v, "a") = 1;
    EXPECT_EQ(v, parse(R"({"a": 1})"));
    json_slot(json_slot(v, "a"), 2) = "x";
    EXPECT_EQ(v, parse(R"({"a": [null, null, "x"]})"));
    // An index past the limit lands on the limit rather than growing the array without end.
    Json::Value arr;
    json_slot(arr, INT_MAX) = 1;
    EXPECT_EQ(arr.size(), Json::ArrayIndex(kMaxJsonIndex + 1));
}
