// The configuration initializer: Sedrin.exe started with exact command lines against a fresh
// installation tree and the registry of the test prefix, and its application object in process
// for the feedback it collects.
#include "File/FileBase.h"
#include "File/FileFaults.h"
#include "Foundation/StringUtils.h"
#include "Foundation/SystemInfo.h"
#include "Sedrin/Initializer.h"

#include "CapturedRun.h"
#include "TempDir.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace std::chrono_literals;
using namespace TestSupport;
using Vorlix::SystemInfo;

namespace {

std::string crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

const std::string kMainFile = crlf("<?xml version=\"1.0\"?>\n"
                                   "<Configuration>\n"
                                   "  <Object>\n"
                                   "    <Name>Vorlix</Name>\n"
                                   "    <SubObjects>\n"
                                   "      <Object>\n"
                                   "        <Name>directories</Name>\n"
                                   "        <SubObjects>\n"
                                   "          <Object>\n"
                                   "            <Name>root</Name>\n"
                                   "            <Value type=\"directory\" keep=\"a&gt;b\">C:\\Old\\</Value>\n"
                                   "          </Object>\n"
                                   "        </SubObjects>\n"
                                   "      </Object>\n"
                                   "    </SubObjects>\n"
                                   "  </Object>\n"
                                   "</Configuration>\n");

const std::string kSentinelFile = "<Configuration>\n"
                                  "  <Object>\n"
                                  "    <Name>sentinel</Name>\n"
                                  "    <SubObjects>\n"
                                  "      <Object>\n"
                                  "        <Name>checkInterval</Name>\n"
                                  "        <Value>PT5S</Value>\n"
                                  "      </Object>\n"
                                  "      <Object>\n"
                                  "        <Name>applications</Name>\n"
                                  "        <SubObjects>\n"
                                  "          <Object>\n"
                                  "            <Name>recorder</Name>\n"
                                  "            <Value>recorder.exe</Value>\n"
                                  "          </Object>\n"
                                  "        </SubObjects>\n"
                                  "      </Object>\n"
                                  "    </SubObjects>\n"
                                  "  </Object>\n"
                                  "</Configuration>\n";

// A value tag that is never closed.
const std::string kCorruptFile =
    "<Object>\n  <Name>alarm</Name>\n  <Name>limit</Name>\n  <Value>10\n</Object>\n";

std::string inQuotes(const std::string& text)
{
    return "\"" + text + "\"";
}

class Sedrin : public ::testing::Test {
protected:
    void SetUp() override { install(); }

    void TearDown() override
    {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, Initializer::installationKey);
        SystemInfo::selectRoot("HKEY_LOCAL_MACHINE");
    }

    // A fresh installation: root\Configuration\Vorlix.xml and three component files; the
    // registry names the root (with its trailing backslash).
    void install()
    {
        root = makeTree("inst");
        setRegistryRoot(root);
    }

    std::string makeTree(const std::string& name)
    {
        const std::string treeRoot = dir.file(name) + "\\";
        CreateDirectoryA(treeRoot.c_str(), nullptr);
        CreateDirectoryA((treeRoot + "Configuration").c_str(), nullptr);
        CreateDirectoryA((treeRoot + "Configuration\\Components").c_str(), nullptr);
        writeBytes(treeRoot + "Configuration\\Vorlix.xml", kMainFile);
        writeBytes(treeRoot + "Configuration\\Components\\sentinel.xml", kSentinelFile);
        writeBytes(treeRoot + "Configuration\\Components\\alarm.xml", kCorruptFile);
        return treeRoot;
    }

    void setRegistryRoot(const std::string& value)
    {
        SystemInfo::selectRoot("HKEY_CLASSES_ROOT");
        ASSERT_EQ(SystemInfo::setRegString(Initializer::installationKey, "VORLIXROOT", value), 0);
        RegDeleteKeyValueA(HKEY_CLASSES_ROOT, Initializer::installationKey, "SEDRIN_STATUS");
    }

    std::string registry(const char* name)
    {
        SystemInfo::selectRoot("HKEY_CLASSES_ROOT");
        std::string value = "<missing>";
        SystemInfo::getRegString(Initializer::installationKey, name, value);
        return value;
    }

    std::string mainFile(const std::string& treeRoot)
    {
        return readBytes(treeRoot + "Configuration\\Vorlix.xml");
    }
    std::string sentinelPath() { return root + "Configuration\\Components\\sentinel.xml"; }

    // Runs Sedrin.exe with exactly this command-line text after the program name.
    uint32_t run(const std::string& arguments)
    {
        ChildProcess child;
        const std::string command = inQuotes(programPath("Sedrin.exe")) + " " + arguments;
        if (!child.start(command)) {
            ADD_FAILURE() << "cannot start " << command;
            return 9999;
        }
        uint32_t code = 9999;
        if (!child.wait(60s, code)) {
            ADD_FAILURE() << "Sedrin did not end";
        }
        return code;
    }

    void expectStatus(uint32_t exitCode, int expected)
    {
        EXPECT_EQ(exitCode, static_cast<uint32_t>(expected));
        EXPECT_EQ(registry("SEDRIN_STATUS"), std::to_string(expected));
    }

    TempDir dir;
    std::string root;
};

std::string withMainRoot(const std::string& value)
{
    std::string expected = kMainFile;
    const std::string old = "C:\\Old\\";
    expected.replace(expected.find(old), old.size(), value);
    return expected;
}

} // namespace

TEST_F(Sedrin, FailuresReportTheirStatusAndLeaveTheFiles)
{
    struct Case {
        std::string arguments;
        int status;
        const char* why;
    };
    const Case cases[] = {
        {"", 0, "no options"},
        {"-x 1 word --long value", 0, "other options and bare words are ignored"},
        {"-c Vorlix.directories.root", 1, "no '='"},
        {"-r " + inQuotes("C:\\no\\such-dir\\") + " -c " + inQuotes("Vorlix.directories.root=X"), 2,
         "root that does not exist; later options not processed"},
        {"-r \"  \"", 2, "empty root"},
        {"-c \"Sentinel.checkInterval=PT1S\"", 3, "file key differs in case"},
        {"-c \"nosuch.x=1\"", 3, "unknown file key"},
        {"-c \"Vorlix.directories.nothing=1\"", 7, "object not in the file"},
        {"-c \"Vorlix=1\"", 7, "a path without '.': no object inside the file"},
        {"-c \"alarm.limit=20\"", 8, "value never closed"},
        {"-d " + inQuotes(dir.path), 9, "directory without Components"},
        {"-c \"sentinel.applications.recorder=>sentinel.nowhere.copy\"", 10,
         "copy destination parent missing"},
        {"-v 0 -c \"nosuch.x=1\"", 3, "quiet, but still the status"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        expectStatus(run(c.arguments), c.status);
        EXPECT_EQ(mainFile(root), kMainFile);
        EXPECT_EQ(readBytes(sentinelPath()), kSentinelFile);
        EXPECT_EQ(readBytes(root + "Configuration\\Components\\alarm.xml"), kCorruptFile);
        EXPECT_EQ(registry("VORLIXROOT"), root);
    }
}

TEST_F(Sedrin, SetFormReplacesOnlyTheValue)
{
    // Blanks, hyphens, '=', '<' and '&' in a quoted value all arrive and are stored unchanged.
    const std::string value = "D:\\new-root & <x> = y";
    expectStatus(run("-c " + inQuotes("  Vorlix.directories.root = " + value + "  ")), 0);
    EXPECT_EQ(mainFile(root), withMainRoot(value));
    EXPECT_FALSE(fileExists(root + "Configuration\\Vorlix.xml.lock"));
    EXPECT_FALSE(fileExists(root + "Configuration\\Vorlix.xml.tmp"));

    expectStatus(run("-c 'sentinel.checkInterval=PT10S'"), 0);
    std::string expected = kSentinelFile;
    expected.replace(expected.find("PT5S"), 4, "PT10S");
    EXPECT_EQ(readBytes(sentinelPath()), expected);
}

TEST_F(Sedrin, CopyFormInsertsTheRenamedObject)
{
    expectStatus(run("-c \"sentinel.applications.recorder=>sentinel.applications.collector\""), 0);
    std::string expected = kSentinelFile;
    const std::string anchor = "        <Name>applications</Name>\n        <SubObjects>\n";
    expected.insert(expected.find(anchor) + anchor.size(), "          <Object>\n"
                                                           "            <Name>collector</Name>\n"
                                                           "            <Value>recorder.exe</Value>\n"
                                                           "          </Object>\n");
    EXPECT_EQ(readBytes(sentinelPath()), expected);
}

TEST_F(Sedrin, RootOptionAndOptionOrder)
{
    const std::string second = makeTree("second-root");
    std::string secondNoSlash = second.substr(0, second.size() - 1);

    // -c acts on the registry's root; -r then switches root and records it.
    expectStatus(run("-c \"Vorlix.directories.root=first\" -r " + inQuotes(secondNoSlash)), 0);
    EXPECT_EQ(mainFile(root), withMainRoot("first"));
    EXPECT_EQ(mainFile(second), withMainRoot(secondNoSlash))
        << "the main file records the root without a separator";
    EXPECT_EQ(registry("VORLIXROOT"), secondNoSlash);

    // The registry root is now the second tree, recorded without its separator: a later run
    // still finds the files under it.
    expectStatus(run("-c \"sentinel.checkInterval=PT8S\""), 0);
    EXPECT_NE(readBytes(second + "Configuration\\Components\\sentinel.xml").find("PT8S"), std::string::npos);

    // -r first: the -c after it acts on the new root.
    expectStatus(run("-r " + inQuotes(root) + " -c \"sentinel.checkInterval=PT7S\""), 0);
    EXPECT_NE(readBytes(sentinelPath()).find("PT7S"), std::string::npos);
    EXPECT_EQ(registry("VORLIXROOT"), root);
}

TEST_F(Sedrin, ConfigDirOptionAndMissingRoot)
{
    const std::string configDir = root + "Configuration";
    expectStatus(run("-d " + inQuotes(configDir + "\\\\") + " -c \"sentinel.checkInterval=PT3S\""), 0);
    EXPECT_NE(readBytes(sentinelPath()).find("PT3S"), std::string::npos);

    RegDeleteKeyValueA(HKEY_CLASSES_ROOT, Initializer::installationKey, "VORLIXROOT");
    expectStatus(run("-d " + inQuotes(configDir) + " -c \"sentinel.checkInterval=PT4S\""), 4);
    EXPECT_NE(readBytes(sentinelPath()).find("PT3S"), std::string::npos);
}

TEST_F(Sedrin, MissingFileFailsAfterWaiting)
{
    const auto start = std::chrono::steady_clock::now();
    expectStatus(run("-c \"log.rotation=P2D\""), 5);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 4s) << "about 5 s of waiting for the file";
}

TEST_F(Sedrin, LiveLockRefusesTheSaveAndStaleLockIsBroken)
{
    {
        Vorlix::FilePlain holder(sentinelPath());
        holder.open(Vorlix::FILE_WRITE);
        const auto start = std::chrono::steady_clock::now();
        expectStatus(run("-c \"sentinel.checkInterval=PT1S\""), 6);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 4s);
        holder.discard();
    }
    EXPECT_EQ(readBytes(sentinelPath()), kSentinelFile);

    // A lock file left by a writer that is gone, expired a minute ago.
    const Vorlix::DateTime past(Vorlix::DateTime().seconds() - 60);
    const std::string stamp = past.toString(true, true, false);
    writeBytes(sentinelPath() + ".lock", stamp + "\n" + stamp + "\n120000Zabcdefghij\noriginal\n");
    expectStatus(run("-c \"sentinel.checkInterval=PT2S\""), 0);
    EXPECT_NE(readBytes(sentinelPath()).find("PT2S"), std::string::npos);
    EXPECT_FALSE(fileExists(sentinelPath() + ".lock"));
}

TEST_F(Sedrin, FeedbackLinesFollowVerbosity)
{
    struct Case {
        std::string commandLine;
        std::string messages;
        int status;
        const char* why;
    };
    const std::string file = root + "Configuration\\Components/sentinel.xml";
    const Case cases[] = {
        {"-v 2 -c sentinel.checkInterval=PT6S",
         "NOTICE: Loading file \"" + file + "\"...\nNOTICE:     File loaded.\nNOTICE: Saving file \"" + file +
             "\"...\nNOTICE:     File saved.\n",
         0, "notices of loading and saving"},
        {"-v 0 -c nosuch.x=1", "", 3, "no feedback at 0"},
        {"-c nosuch.x=1 -v 2",
         "ERROR:  (-c option) Invalid argument. File for \"nosuch\" object not found.\n", 3,
         "v after the failure is never read"},
        {"-c \"Vorlix.a=1\"",
         "ERROR:  (-c option) Object \"a\" not found in file \"" + root + "Configuration\\Vorlix.xml\".\n", 7,
         "object not found"},
        {"-v '  +2x' -r " + inQuotes(dir.file("none")),
         "ERROR:  Invalid root. (" + dir.file("none") + " does not exist.)\n", 2,
         "verbosity read like a decimal integer"},
        {"-d nowhere", "ERROR:  Configuration dir specified by command line is invalid.\n", 9,
         "bad directory"},
        {"-c x", "ERROR:  (-c option) Invalid argument. Missing '='.\n", 1, "missing '='"},
        {"-c \"sentinel.a=>sentinel.applications.b\"",
         "ERROR:  (-c option) Object \"a\" could not be copied to \"sentinel.applications.b\".\n", 10,
         "copy failure"},
        {"-c \"alarm.limit=1\"",
         "ERROR:  (-c option) File \"" + root + "Configuration\\Components/alarm.xml\" is corrupted.\n", 8,
         "corrupted file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Initializer initializer(c.commandLine);
        EXPECT_EQ(initializer.getMessages(), c.messages);
        EXPECT_EQ(initializer.finish(), c.status);
    }

    Initializer quietRoot("-v 2 -r " + inQuotes(root.substr(0, root.size() - 1)));
    EXPECT_EQ(quietRoot.getRoot(), root) << "the separator is added to the root";
    EXPECT_NE(
        quietRoot.getMessages().find("NOTICE: Set root = \"" + root.substr(0, root.size() - 1) + "\".\n"),
        std::string::npos)
        << quietRoot.getMessages();
}

TEST_F(Sedrin, FeedbackGoesToTheStandardOutputOfWhoeverCapturesIt)
{
    // An installer that hands Sedrin a standard output reads the same lines the message box shows;
    // the status is unchanged by it.
    struct Case {
        std::string commandLine;
        std::string output;
        int status;
        const char* why;
    };
    const std::string file = root + "Configuration\\Components/sentinel.xml";
    const Case cases[] = {
        {"-v 2 -c sentinel.checkInterval=PT6S",
         "NOTICE: Loading file \"" + file + "\"...\nNOTICE:     File loaded.\nNOTICE: Saving file \"" + file +
             "\"...\nNOTICE:     File saved.\n",
         0, "notices"},
        {"-c x", "ERROR:  (-c option) Invalid argument. Missing '='.\n", 1, "an error"},
        {"-v 0 -c x", "", 1, "no feedback, nothing written"},
        {"", "", 0, "no options"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const CapturedRun run =
            runCaptured(dir.path, inQuotes(programPath("Sedrin.exe")) + " " + c.commandLine, 60s);
        EXPECT_EQ(run.exitCode, static_cast<uint32_t>(c.status));
        EXPECT_EQ(run.output, c.output);
        EXPECT_EQ(registry("SEDRIN_STATUS"), std::to_string(c.status));
    }
}

TEST_F(Sedrin, FailedSaveKeepsTheFileAndSaysSo)
{
    // Whatever fails while saving, the installer sees status 6 and the file keeps every byte.
    const std::string file = root + "Configuration\\Components/sentinel.xml";
    auto plan = [](const std::string& target, int64_t budget, bool failFlush) {
        Vorlix::FileFaults::Plan p;
        p.pathEndsWith = target;
        p.writeBudget = budget;
        p.failFlush = failFlush;
        return p;
    };
    struct Case {
        Vorlix::FileFaults::Plan plan;
        const char* why;
    };
    const Case cases[] = {
        {plan("sentinel.xml.tmp", 0, false), "the disk is full at the first byte"},
        {plan("sentinel.xml.tmp", 200, false), "the disk fills up in the middle"},
        {plan("sentinel.xml.tmp", -1, true), "the last bytes cannot be handed over at close"},
        {plan("sentinel.xml.lock", 10, false), "the lock file cannot be written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const Vorlix::FileFaults::ScopedPlan faults(c.plan);
        Initializer initializer("-v 2 -c sentinel.checkInterval=PT10S");
        EXPECT_EQ(initializer.finish(), 6);
        EXPECT_EQ(registry("SEDRIN_STATUS"), "6");
        EXPECT_EQ(initializer.getMessages(), "NOTICE: Loading file \"" + file +
                                                 "\"...\nNOTICE:     File loaded.\nNOTICE: Saving file \"" +
                                                 file + "\"...\nERROR:       Failed to save file.\n");
        EXPECT_EQ(readBytes(sentinelPath()), kSentinelFile);
        EXPECT_FALSE(fileExists(sentinelPath() + ".tmp"));
        EXPECT_FALSE(fileExists(sentinelPath() + ".lock"));
    }
}

// Sedrin.exe on a real file system that has no room left: drive T: is a 64 KiB tmpfs that the
// test run maps into the prefix where the machine allows mounting.
class SedrinFullDisk : public Sedrin {
protected:
    void SetUp() override
    {
        const UINT driveType = GetDriveTypeA("T:\\");
        if (driveType == DRIVE_NO_ROOT_DIR || driveType == DRIVE_UNKNOWN) {
            GTEST_SKIP() << "no small drive T: (mounting a tmpfs needs root); the same failures are "
                            "covered through the fault seam";
        }
        clearDrive();
        CreateDirectoryA("T:\\inst", nullptr);
        CreateDirectoryA("T:\\inst\\Configuration", nullptr);
        CreateDirectoryA("T:\\inst\\Configuration\\Components", nullptr);
        root = "T:\\inst\\";
        setRegistryRoot(root);
    }

    void TearDown() override
    {
        clearDrive();
        Sedrin::TearDown();
    }

    static void clearDrive()
    {
        removeTree("T:\\inst");
        DeleteFileA(kFiller);
    }

    // Fills the drive until at most `leave` bytes are free.
    static void fill(uint64_t leave)
    {
        ULARGE_INTEGER freeBytes{};
        ASSERT_TRUE(GetDiskFreeSpaceExA("T:\\", &freeBytes, nullptr, nullptr));
        Vorlix::FileHandle filler(
            CreateFileA(kFiller, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(filler.valid());
        uint64_t toWrite = freeBytes.QuadPart > leave ? freeBytes.QuadPart - leave : 0;
        const std::string block(4096, 'f');
        while (toWrite > 0) {
            const DWORD chunk = static_cast<DWORD>(toWrite < block.size() ? toWrite : block.size());
            DWORD written = 0;
            if (!WriteFile(filler.get(), block.data(), chunk, &written, nullptr) || written == 0) {
                break; // full
            }
            toWrite -= written;
        }
    }

    static constexpr const char* kFiller = "T:\\filler.bin";
};

TEST_F(SedrinFullDisk, NoRoomLeftKeepsTheFile)
{
    writeBytes(sentinelPath(), kSentinelFile);
    fill(0);
    expectStatus(run("-v 2 -c \"sentinel.checkInterval=PT10S\""), 6);
    EXPECT_EQ(readBytes(sentinelPath()), kSentinelFile) << "not emptied";
    EXPECT_FALSE(fileExists(sentinelPath() + ".tmp"));
    EXPECT_FALSE(fileExists(sentinelPath() + ".lock"));
}

TEST_F(SedrinFullDisk, RoomForHalfTheFileKeepsTheFile)
{
    // A 24 KB file with 12 KiB free: the working copy runs out of room half way.
    std::string big = kSentinelFile;
    const std::string pad = "<!-- padding " + std::string(24000, 'x') + " -->\n";
    big.insert(big.find("<Configuration>"), pad);
    writeBytes(sentinelPath(), big);
    fill(12 * 1024);
    expectStatus(run("-v 2 -c \"sentinel.checkInterval=PT10S\""), 6);
    EXPECT_EQ(readBytes(sentinelPath()), big) << "not truncated";
    EXPECT_FALSE(fileExists(sentinelPath() + ".tmp"));
    EXPECT_FALSE(fileExists(sentinelPath() + ".lock"));

    // Room again: the same edit lands whole.
    DeleteFileA(kFiller);
    expectStatus(run("-c \"sentinel.checkInterval=PT10S\""), 0);
    std::string expected = big;
    expected.replace(expected.find("PT5S"), 4, "PT10S");
    EXPECT_EQ(readBytes(sentinelPath()), expected);
}

TEST(SedrinTable, ComponentFilesFollowTheRules)
{
    RegDeleteKeyA(HKEY_CLASSES_ROOT, Initializer::installationKey);
    Initializer initializer("");
    const auto& files = initializer.getComponentFiles();
    ASSERT_EQ(files.size(), 22u);
    EXPECT_EQ(files.at("Vorlix"), "Vorlix.xml");
    std::map<std::string, int> uses;
    int trailingTwo = 0;
    for (const auto& row : files) {
        if (row.first == "Vorlix") {
            continue;
        }
        EXPECT_EQ(row.first, Vorlix::lowerCopy(row.first));
        EXPECT_EQ(row.second.rfind("Components/", 0), 0u) << row.second;
        uses[row.second]++;
        if (row.second == "Components/" + row.first + "2.xml") {
            ++trailingTwo;
        } else if (row.second != "Components/" + row.first + ".xml") {
            EXPECT_EQ(uses[row.second], 2) << row.first << " shares a file";
        }
    }
    EXPECT_EQ(trailingTwo, 1);
    EXPECT_EQ(uses.size(), 20u) << "two names share one file";
    EXPECT_EQ(initializer.finish(), 0);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, Initializer::installationKey);
}
