#include "Foundation/SystemInfo.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using Vorlix::SystemInfo;

namespace {

// A scratch key of this process under the local-machine hive, removed afterwards; the product key
// values the tests write are removed too.
class SystemInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SystemInfo::selectRoot("HKEY_LOCAL_MACHINE"));
        key = "SOFTWARE\\VorlixTest\\" + std::to_string(GetCurrentProcessId());
    }

    void TearDown() override
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
        HKEY product = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SystemInfo::productKey, 0, KEY_WRITE, &product) ==
            ERROR_SUCCESS) {
            for (const char* name :
                 {"TestConfDir", "TestLogDir", "TestSelf", "TestA", "TestB", "TestShort", "TestNext"}) {
                RegDeleteValueA(product, name);
            }
            RegCloseKey(product);
        }
        SystemInfo::selectRoot("HKEY_LOCAL_MACHINE");
    }

    void writeRaw(const std::string& name, DWORD type, const std::string& bytes)
    {
        ASSERT_EQ(SystemInfo::setRegValue(key, name, type, bytes.data(), static_cast<uint32_t>(bytes.size())),
                  0);
    }

    std::string key;
};

} // namespace

TEST_F(SystemInfoTest, StringTypesAndResults)
{
    writeRaw("plain", REG_SZ, std::string("abc\0\0\0", 6));
    writeRaw("expand", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9));
    writeRaw("multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    writeRaw("empty", REG_SZ, std::string());
    writeRaw("long", REG_SZ, std::string(300, 'q'));
    ASSERT_EQ(SystemInfo::setRegNumber(key, "number", -7), 0);

    struct Case {
        const char* name;
        int result;
        std::string value;
        const char* why;
    };
    const Case cases[] = {
        {"plain", 0, "abc", "trailing zero bytes all dropped"},
        {"expand", 0, "%TEMP%\\x", "expandable string is not expanded by the system"},
        {"multi", 0, std::string("a\0b", 3), "multi-string keeps its inner zero"},
        {"empty", 0, "", "empty string"},
        {"long", 0, std::string(300, 'q'), "longer than the first buffer"},
        {"number", 3, "sentinel", "a number is not a string"},
        {"missing", 2, "sentinel", "missing value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string out = "sentinel";
        EXPECT_EQ(SystemInfo::getRegString(key, c.name, out), c.result);
        EXPECT_EQ(out, c.value);
    }
    std::string out = "sentinel";
    EXPECT_EQ(SystemInfo::getRegString(key + "\\nowhere", "plain", out), 2);
    EXPECT_EQ(out, "sentinel");
}

TEST_F(SystemInfoTest, Numbers)
{
    ASSERT_EQ(SystemInfo::setRegNumber(key + "\\new\\deep", "n", -123456), 0) << "writing creates the key";
    ASSERT_EQ(SystemInfo::setRegString(key, "s", "12"), 0);
    int32_t value = 99;
    EXPECT_EQ(SystemInfo::getRegNumber(key + "\\new\\deep", "n", value), 0);
    EXPECT_EQ(value, -123456);
    value = 99;
    EXPECT_EQ(SystemInfo::getRegNumber(key, "s", value), 3);
    EXPECT_EQ(SystemInfo::getRegNumber(key, "absent", value), 2);
    EXPECT_EQ(SystemInfo::getRegNumber(key + "\\nowhere", "n", value), 2);
    EXPECT_EQ(value, 99);

    // The stored string has no terminating zero byte.
    DWORD size = 0;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "s", RRF_RT_ANY | RRF_NOEXPAND, nullptr, nullptr,
                           &size),
              ERROR_SUCCESS);
    EXPECT_TRUE(size == 2 || size == 3) << size; // RegGetValue may count a zero it adds itself
}

TEST_F(SystemInfoTest, ExpandsProductReferences)
{
    ASSERT_EQ(SystemInfo::setProductString("TestConfDir", "C:\\conf\\"), 0);
    ASSERT_EQ(SystemInfo::setProductString("TestLogDir", "${TestConfDir}logs"), 0);
    ASSERT_EQ(SystemInfo::setProductString("TestA", "${TestB}/a"), 0);
    ASSERT_EQ(SystemInfo::setProductString("TestB", "${TestA}/b"), 0);
    ASSERT_EQ(SystemInfo::setProductString("TestSelf", "x${TestSelf}y"), 0);
    ASSERT_EQ(SystemInfo::setProductString("TestShort", "1"), 0);
    ASSERT_EQ(SystemInfo::setProductString("TestNext", "2"), 0);

    struct Case {
        std::string stored;
        std::string expected;
        const char* why;
    };
    const Case cases[] = {
        {"${TestConfDir}logs", "C:\\conf\\logs", "reference at the start"},
        {"[${TestLogDir}]", "[C:\\conf\\logs]", "the looked-up value is expanded too"},
        {"${NoSuchValue}/x", "${NoSuchValue}/x", "a missing value leaves the reference"},
        {"a${TestConfDir", "a${TestConfDir", "unclosed reference"},
        {"ab${}", "ab${}", "empty reference at the very end"},
        {"${TestShort}${TestNext}", "1${TestNext}", "a shorter replacement skips the next reference"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_EQ(SystemInfo::setRegString(key, "v", c.stored), 0);
        std::string out;
        EXPECT_EQ(SystemInfo::getRegString(key, "v", out), 0);
        EXPECT_EQ(out, c.expected);
    }

    // Self-references end at the depth bound, with the innermost reference left in place.
    std::string out;
    ASSERT_EQ(SystemInfo::getProductString("TestSelf", out), 0);
    const std::string inner = "${TestSelf}";
    EXPECT_NE(out.find(inner), std::string::npos) << out;
    EXPECT_EQ(out.front(), 'x');
    EXPECT_EQ(out.back(), 'y');
    ASSERT_EQ(SystemInfo::getProductString("TestA", out), 0);
    EXPECT_NE(out.find("${Test"), std::string::npos) << out;
}

TEST_F(SystemInfoTest, SelectRoot)
{
    EXPECT_FALSE(SystemInfo::selectRoot("HKEY_LOCAL_MACHINE "));
    EXPECT_FALSE(SystemInfo::selectRoot("hkey_local_machine"));
    EXPECT_EQ(SystemInfo::currentRoot(), "HKEY_LOCAL_MACHINE");
    ASSERT_TRUE(SystemInfo::selectRoot("HKEY_CURRENT_USER"));
    ASSERT_EQ(SystemInfo::setRegString(key, "where", "user"), 0);
    std::string out;
    EXPECT_EQ(SystemInfo::getRegString(key, "where", out), 0);
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    ASSERT_TRUE(SystemInfo::selectRoot("HKEY_LOCAL_MACHINE"));
    EXPECT_EQ(SystemInfo::getRegString(key, "where", out), 2);
}
