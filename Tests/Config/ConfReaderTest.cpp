// The reader over the example installation's configuration file, and rebuilds from two threads.
#include "ConfTestSupport.h"

#include <atomic>
#include <list>
#include <thread>

using namespace TestSupport;

namespace {

class ConfReaderExample : public ConfFixture {};

TEST_F(ConfReaderExample, ReadsTheWatchdogAndLoggingKeys)
{
    const std::string source = std::string(VORLIX_EXAMPLE_CONFIGURATION) + "/sentinel.conf";
    const std::string copy = dir.file("sentinel.conf");
    ASSERT_TRUE(CopyFileA(source.c_str(), copy.c_str(), FALSE)) << source;
    reader->buildTree(copy);
    ASSERT_EQ(log().back(), "D2 ConfReader: DOM tree built.");

    std::string text;
    EXPECT_EQ(reader->getDirName("Vorlix.directories.conf", text), 0);
    EXPECT_EQ(text, "C:\\Program Files\\Vorlix\\Configuration\\");
    EXPECT_EQ(reader->getDirName("Vorlix.directories.log", text), 0);
    EXPECT_EQ(text, "C:\\Program Files\\Vorlix\\Logs\\");

    int32_t number = -1;
    EXPECT_EQ(reader->getInteger("sentinel.log.debug-level", number), 0);
    EXPECT_EQ(number, 2);

    std::list<std::string> applications;
    ASSERT_EQ(reader->getSubObjects("sentinel.monitor", applications), 0);
    EXPECT_EQ(applications, (std::list<std::string>{"recorder", "collector", "analyser"}));
    bool active = false;
    EXPECT_EQ(reader->getBool("sentinel.monitor.recorder.active", active), 0);
    EXPECT_TRUE(active);
    EXPECT_EQ(reader->getBool("sentinel.monitor.analyser.active", active), 0);
    EXPECT_FALSE(active);
    EXPECT_EQ(reader->getString("sentinel.monitor.recorder.id", text, true, false), 0);
    EXPECT_EQ(text, "Recorder") << "trimmed, case kept";

    EXPECT_EQ(reader->getString("log.time", text, true, false), 0);
    EXPECT_EQ(text, "local");
    EXPECT_EQ(reader->getString("log.rotation.scheme", text, true, false), 0);
    EXPECT_EQ(text, "init,size");
    Vorlix::TimeSpanFields period;
    EXPECT_EQ(reader->getTimeSpan("log.rotation.time", period), 0);
    EXPECT_EQ(period.days, 1);
    EXPECT_EQ(reader->getInteger("log.rotation.size", number), 0);
    EXPECT_EQ(number, 10);
    EXPECT_EQ(reader->getString("log.global.severity", text, true, false), 0);
    EXPECT_EQ(text, "WARNING");
    EXPECT_EQ(reader->getInteger("log.global.debug-level", number), 0);
    EXPECT_EQ(number, 1);
}

// Two threads rebuild one reader from two different files at once. Inside the guard (while the
// "built" record is logged) the tree must be one whole parse of one of the files, and so must the
// tree that is left.
TEST_F(ConfReaderExample, SerialisesRebuildsFromTwoThreads)
{
    const int objects = 2000;
    auto fileOf = [&](const std::string& prefix) {
        std::string text;
        for (int i = 0; i < objects; ++i) {
            text += prefix + std::to_string(i) + "(Integer)=" + std::to_string(i) + "{}\n";
        }
        return text;
    };
    const std::string first = dir.file("first.conf");
    const std::string second = dir.file("second.conf");
    writeBytes(first, fileOf("a"));
    writeBytes(second, fileOf("b"));

    // A whole parse: `objects` children, all named with one prefix, in order.
    auto wholeTree = [&]() {
        const Vorlix::ConfNode* root = reader->root();
        if (root == nullptr || root->firstChild() == nullptr) {
            return false;
        }
        const char prefix = root->firstChild()->name()[0];
        int n = 0;
        for (const Vorlix::ConfNode* node = root->firstChild(); node != nullptr; node = node->nextSibling()) {
            if (node->name() != prefix + std::to_string(n)) {
                return false;
            }
            ++n;
        }
        return n == objects;
    };

    std::atomic<int> built{0};
    std::atomic<int> broken{0};
    recorder->observe([&](const Vorlix::LogRecord& record) {
        if (record.text == "ConfReader: DOM tree built.") {
            ++built;
            if (!wholeTree()) {
                ++broken;
            }
        }
    });
    const int rounds = 25;
    auto rebuild = [&](const std::string& path) {
        for (int i = 0; i < rounds; ++i) {
            reader->buildTree(path);
        }
    };
    std::thread one(rebuild, first);
    std::thread two(rebuild, second);
    one.join();
    two.join();
    recorder->observe(nullptr);

    EXPECT_EQ(built.load(), 2 * rounds);
    EXPECT_EQ(broken.load(), 0);
    EXPECT_TRUE(wholeTree());
}

} // namespace
