// Runs update-info.exe as the publisher runs it and looks at its exit code,
// its output and the files it writes.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "tests/support/paths.h"
#include "tests/support/registry.h"

namespace {

using testsupport::Quoted;

constexpr DWORD kRunTimeoutMs = 20000;
constexpr DWORD kNotRun = 0xFFFFFFFF;

constexpr char kNotes[] = "https://h/notes.html";
constexpr char kSetup[] = "https://h/setup.exe";

struct ToolRun
{
    DWORD dwExitCode = kNotRun;
    std::string out;
    std::string err;
};

void WriteWholeFile(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary) << data;
}

fw::CFileHandle InheritableFile(const std::string& path, DWORD dwAccess, DWORD dwDisposition)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return fw::CFileHandle(CreateFileA(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, dwDisposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

class UpdateInfoToolTest : public ::testing::Test
{
protected:
    std::string PathOf(const std::string& name) const { return (m_dir.Path() / name).string(); }

    // A file of the given size; a large one is sparse, so it costs no disk.
    std::string MakeFileOfSize(const std::string& name, LONGLONG cbSize) const
    {
        const std::string path = PathOf(name);
        fw::CFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size = {};
        size.QuadPart = cbSize;
        EXPECT_TRUE(file && SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN) &&
                    SetEndOfFile(file.Get()))
            << path;
        return path;
    }

    std::string MakeInfoFile(const std::string& name, const std::string& body) const
    {
        const std::string path = PathOf(name);
        WriteWholeFile(path, body);
        return path;
    }

    // The program's standard output and error go to files, read back once
    // it has ended; or standard output goes to hOut.
    ToolRun Run(const std::string& arguments, HANDLE hOut = nullptr) const
    {
        ToolRun run;
        const std::string outPath = PathOf("stdout.txt");
        const std::string errPath = PathOf("stderr.txt");
        {
            fw::CFileHandle in = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
            fw::CFileHandle out = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
            fw::CFileHandle err = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
            if (!in || !out || !err)
            {
                ADD_FAILURE() << "cannot make the files for the program's output";
                return run;
            }
            STARTUPINFOA startup = {};
            startup.cb = sizeof(startup);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = in.Get();
            startup.hStdOutput = hOut != nullptr ? hOut : out.Get();
            startup.hStdError = err.Get();
            const std::string program = (testsupport::BinDir() / "update-info.exe").string();
            std::string commandLine = Quoted(program) + " " + arguments;
            std::vector<char> commandBuffer(commandLine.begin(), commandLine.end());
            commandBuffer.push_back('\0');
            PROCESS_INFORMATION info = {};
            if (!CreateProcessA(program.c_str(), commandBuffer.data(), nullptr, nullptr, TRUE, 0,
                                nullptr, nullptr, &startup, &info))
            {
                ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
                return run;
            }
            const fw::CKernelHandle process(info.hProcess);
            CloseHandle(info.hThread);
            if (WaitForSingleObject(process.Get(), kRunTimeoutMs) != WAIT_OBJECT_0)
            {
                TerminateProcess(process.Get(), kNotRun);
                WaitForSingleObject(process.Get(), 5000);
                ADD_FAILURE() << "update-info " << arguments << " did not end in time";
                return run;
            }
            GetExitCodeProcess(process.Get(), &run.dwExitCode);
        }
        run.out = testsupport::ReadFileBytes(outPath);
        run.err = testsupport::ReadFileBytes(errPath);
        return run;
    }

    ToolRun Write(const std::string& installer, const std::string& version,
                  const std::string& notes, const std::string& url, const std::string& out) const
    {
        return Run("write --installer " + Quoted(installer) + " --version " + Quoted(version) +
                   " --notes " + Quoted(notes) + " --url " + Quoted(url) +
                   (out.empty() ? "" : " --out " + Quoted(out)));
    }

    ToolRun CheckBody(const std::string& body) const
    {
        return Run("check " + Quoted(MakeInfoFile("checked.txt", body)));
    }

    testsupport::ScopedTempDir m_dir{"update-info"};
};

std::string Describe(const ToolRun& run)
{
    return "exit " + std::to_string(run.dwExitCode) + "\nstdout:\n" + run.out + "stderr:\n" +
           run.err;
}

#define EXPECT_RUN(run, code, text)                                                                \
    do                                                                                             \
    {                                                                                              \
        EXPECT_EQ((run).dwExitCode, static_cast<DWORD>(code)) << Describe(run);                    \
        EXPECT_NE((run).err.find(text), std::string::npos) << Describe(run);                       \
    } while (false)

TEST_F(UpdateInfoToolTest, WrittenFileChecksCleanAndNamesTheInstaller)
{
    const std::string installer = MakeFileOfSize("setup.exe", 1234);
    const std::string info = PathOf("update.txt");
    const ToolRun write = Write(installer, "2.5.0.301", kNotes, kSetup, info);
    EXPECT_EQ(write.dwExitCode, 0u) << Describe(write);
    EXPECT_NE(write.err.find("vxzsp-2.5.0.301.exe"), std::string::npos) << Describe(write);
    EXPECT_EQ(write.out, "");
    EXPECT_EQ(testsupport::ReadFileBytes(info),
              "2.5.0.301\r\n1234\r\nhttps://h/notes.html\r\nhttps://h/setup.exe\r\n");

    const ToolRun check = Run("check " + Quoted(info) + " --installer " + Quoted(installer));
    EXPECT_EQ(check.dwExitCode, 0u) << Describe(check);
    EXPECT_EQ(check.err, "");
    for (const char* pszSeen :
         {"2.5.0.301", "1234 bytes", kNotes, kSetup, "vxzsp-2.5.0.301.exe", "rollout            everyone"})
        EXPECT_NE(check.out.find(pszSeen), std::string::npos) << pszSeen << "\n" << Describe(check);
}

TEST_F(UpdateInfoToolTest, StandardOutputGetsTheSameBytesAsAFile)
{
    const std::string installer = MakeFileOfSize("setup.exe", 77);
    const ToolRun write = Write(installer, "3.0.1.9", kNotes, kSetup, "");
    EXPECT_EQ(write.dwExitCode, 0u) << Describe(write);
    EXPECT_EQ(write.out, "3.0.1.9\r\n77\r\nhttps://h/notes.html\r\nhttps://h/setup.exe\r\n");
}

TEST_F(UpdateInfoToolTest, WriteSaysHowMuchOfAShortWriteReachedStandardOutput)
{
    // A pipe that takes nothing without waiting: the write succeeds, short.
    const std::string pipe = "\\\\.\\pipe\\update-info-" + std::to_string(GetCurrentProcessId());
    const fw::CFileHandle server(
        CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 16, 0, nullptr));
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    const fw::CFileHandle client(CreateFileA(pipe.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0,
                                             &inherit, OPEN_EXISTING, 0, nullptr));
    DWORD dwMode = PIPE_NOWAIT;
    ASSERT_TRUE(server && client && SetNamedPipeHandleState(client.Get(), &dwMode, nullptr, nullptr));
    const ToolRun write = Run("write --installer " + Quoted(MakeFileOfSize("setup.exe", 77)) +
                              " --version 3.0.1.9 --notes https://h/n --url https://h/s", client.Get());
    EXPECT_RUN(write, 1, "cannot write to standard output: only ");
    EXPECT_NE(write.err.find(" of 39 bytes were written"), std::string::npos) << Describe(write);
}

TEST_F(UpdateInfoToolTest, SizeIsTheInstallersOwnUpToTheLargest32BitValue)
{
    const char* const sizes[] = {"0", "70001", "4294967295"};
    for (const char* pszSize : sizes)
    {
        const std::string installer = MakeFileOfSize("setup.exe", std::stoll(pszSize));
        const ToolRun write = Write(installer, "2.5.0.301", kNotes, kSetup, "");
        EXPECT_EQ(write.dwExitCode, 0u) << Describe(write);
        EXPECT_EQ(write.out, "2.5.0.301\r\n" + std::string(pszSize) + "\r\n" + kNotes + "\r\n" +
                                 kSetup + "\r\n");
    }
}

TEST_F(UpdateInfoToolTest, WriteRefusesAnInstallerItCannotMeasure)
{
    const std::string info = PathOf("update.txt");
    EXPECT_RUN(Write(PathOf("absent.exe"), "2.5.0.301", kNotes, kSetup, info), 1, "no installer");
    EXPECT_RUN(Write(m_dir.String(), "2.5.0.301", kNotes, kSetup, info), 1, "is a folder");
    EXPECT_RUN(Write(MakeFileOfSize("huge.exe", 4294967296LL), "2.5.0.301", kNotes, kSetup, info),
               1, "4 GiB or more");

    // Another program holds the installer open without sharing it.
    const std::string held = MakeFileOfSize("held.exe", 10);
    {
        const fw::CFileHandle lock(CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                               nullptr));
        ASSERT_TRUE(lock);
        EXPECT_RUN(Write(held, "2.5.0.301", kNotes, kSetup, info), 1, "cannot be read");
    }
    EXPECT_FALSE(std::ifstream(info).good()) << "a failed write left a file behind";
}

TEST_F(UpdateInfoToolTest, WriteRefusesFieldsTheUpdaterWouldMisread)
{
    const std::string installer = MakeFileOfSize("setup.exe", 10);
    const std::string info = PathOf("update.txt");
    EXPECT_RUN(Write(installer, "2.5", kNotes, kSetup, info), 1, "three numbers");
    EXPECT_RUN(Write(installer, "latest", kNotes, kSetup, info), 1, "cannot be read");
    EXPECT_RUN(Write(installer, "2.5.0 301", kNotes, kSetup, info), 1, "white space");
    EXPECT_RUN(Write(installer, "2.5.0.301", "ftp://h/notes.html", kSetup, info), 1,
               "would not show");
    EXPECT_RUN(Write(installer, "2.5.0.301", "notes.html", kSetup, info), 1, "would not show");
    EXPECT_RUN(Write(installer, "2.5.0.301", "https://h/release notes.html", kSetup, info), 1,
               "white space");
    EXPECT_RUN(Write(installer, "2.5.0.301", kNotes, "https://h/my setup.exe", info), 1,
               "white space");
    EXPECT_RUN(Write(installer, "2.5.0.301", kNotes, "", info), 1, "empty");
    for (const char* pszUrl : {"\\\\server\\share\\setup.exe", "file:///C:/setup.exe", "setup.exe"})
        EXPECT_RUN(Write(installer, "2.5.0.301", kNotes, pszUrl, info), 1,
                   "is not an http:// or https:// address: the updater would reject the file");
    EXPECT_FALSE(std::ifstream(info).good()) << "a failed write left a file behind";
}

TEST_F(UpdateInfoToolTest, WriteTakesTheSchemeInAnyCaseAsTheUpdaterDoes)
{
    const std::string installer = MakeFileOfSize("setup.exe", 10);
    EXPECT_EQ(Write(installer, "2.5.0.301", "HTTPS://h/notes.html", kSetup, "").dwExitCode, 0u);
}

TEST_F(UpdateInfoToolTest, ThreeNumberVersionIsWrittenWithAWarning)
{
    const std::string installer = MakeFileOfSize("setup.exe", 10);
    const std::string info = PathOf("update.txt");
    const ToolRun write = Write(installer, "2.5.1", kNotes, kSetup, info);
    EXPECT_RUN(write, 2, "will be read as 2.5.1.0");
    EXPECT_NE(write.err.find("vxzsp-2.5.1.0.exe"), std::string::npos) << Describe(write);
    EXPECT_EQ(testsupport::ReadFileBytes(info), "2.5.1\r\n10\r\nhttps://h/notes.html\r\nhttps://h/setup.exe\r\n");

    const ToolRun check = Run("check " + Quoted(info));
    EXPECT_RUN(check, 2, "will be read as 2.5.1.0");
    EXPECT_NE(check.out.find("vxzsp-2.5.1.0.exe"), std::string::npos) << Describe(check);
}

TEST_F(UpdateInfoToolTest, CommandLineMistakesAreUsageErrors)
{
    const std::string installer = MakeFileOfSize("setup.exe", 10);
    const std::string complete = "--installer " + Quoted(installer) +
                                 " --version 2.5.0.301 --notes https://h/n --url https://h/s";
    const char* const wrong[] = {
        "",
        "publish",
        "write --version 2.5.0.301 --notes https://h/n --url https://h/s",
        "write --installer",
        "write --installer --version 2.5.0.301 --notes https://h/n --url https://h/s",
        "check",
        "check a.txt b.txt",
        "check a.txt --size 10",
    };
    for (const char* pszArguments : wrong)
        EXPECT_RUN(Run(pszArguments), 64, "--help");
    EXPECT_RUN(Run("write " + complete + " --url https://h/again"), 64, "twice");
    EXPECT_RUN(Run("write " + complete + " --colour blue"), 64, "--colour");
    for (const char* pszDays : {"0", "3651", "7.5", "-1", "a week"})
        EXPECT_RUN(Run("write " + complete + " --expires-in " + Quoted(pszDays)), 64,
                   "--expires-in takes a whole number of days from 1 to 3650");
    // Read as the updater reads the token: its spellings are tested there.
    EXPECT_RUN(Run("write " + complete + " --rollout 5.25"), 64, "--rollout takes a percent");

    const ToolRun help = Run("--help");
    EXPECT_EQ(help.dwExitCode, 0u) << Describe(help);
    for (const char* pszPart : {"update-info write", "update-info check", "64"})
        EXPECT_NE(help.out.find(pszPart), std::string::npos) << pszPart;
}

TEST_F(UpdateInfoToolTest, CheckReadsUpTo64KiBAndRejectsMore)
{
    const std::string fields = "2.5.0.301 10 https://h/n https://h/s\r\n";
    const std::string atLimit = fields + std::string(65536 - fields.size(), ' ');
    const ToolRun fits = CheckBody(atLimit);
    EXPECT_EQ(fits.dwExitCode, 0u) << Describe(fits);

    EXPECT_RUN(CheckBody(atLimit + " "), 1, "64 KiB");
    EXPECT_RUN(CheckBody(fields + std::string(1 << 20, '#')), 1, "64 KiB");
}

TEST_F(UpdateInfoToolTest, CheckNamesTheMissingOrMalformedField)
{
    struct Case
    {
        const char* pszBody;
        const char* pszMessage;
    };
    const Case cases[] = {
        {"", "the version (field 1) is missing"},
        {" \r\n\t", "the version (field 1) is missing"},
        {"2.5.0.301\r\n", "the installer size (field 2) is missing"},
        {"2.5.0.301 10 https://h/n", "the installer address (field 4) is missing"},
        {"2.5.0.301 big https://h/n https://h/s",
         "the installer size (field 2) \"big\" is not a number"},
        {"2.5.0.301 4294967296 https://h/n https://h/s", "out of the 32-bit range"},
        // The reader takes "10" as the size and "kB" as the release notes.
        {"2.5.0.301 10kB https://h/n https://h/s", "takes \"kB\" as the release-notes address"},
        {"2.5.0.301 10kB", "the installer address (field 4) is missing"},
        {"2.5.0.301 -1 https://h/n https://h/s", "reads it as 4294967295"},
    };
    for (const Case& c : cases)
        EXPECT_RUN(CheckBody(c.pszBody), 1, c.pszMessage);
}

TEST_F(UpdateInfoToolTest, CheckRejectsAVersionTheUpdaterCannotCompare)
{
    for (const char* pszVersion : {"latest", "2.5", "3.0"})
        EXPECT_RUN(CheckBody(std::string(pszVersion) + " 10 https://h/n https://h/s"), 1,
                   "does not start with three numbers separated by dots, such as 2.5.0.301: the "
                   "updater would reject the file");
    // Skipped now, but not by the updaters already in the field.
    const ToolRun mark = CheckBody("\xEF\xBB\xBF" "2.5.0.301 10 https://h/n https://h/s");
    EXPECT_RUN(mark, 2, "byte-order mark: this updater skips it");
    EXPECT_NE(mark.out.find("vxzsp-2.5.0.301.exe"), std::string::npos) << Describe(mark);
}

TEST_F(UpdateInfoToolTest, CheckWarnsOfWhatTheUpdaterSkipsOrIgnores)
{
    const ToolRun notes = CheckBody("2.5.0.301 10 file:///c:/notes.html https://h/s");
    EXPECT_RUN(notes, 2, "would not show the release notes");
    EXPECT_NE(notes.out.find("vxzsp-2.5.0.301.exe"), std::string::npos) << Describe(notes);

    EXPECT_RUN(CheckBody("2.5.0.301 10 https://h/n https://h/s # second build"), 2,
               "3 more words after the fourth field, from \"#\": the updater ignores them");
    EXPECT_RUN(CheckBody("2.5.0.301.7 10 https://h/n https://h/s"), 2, "will be read as 2.5.0.301");
}

TEST_F(UpdateInfoToolTest, WriteGivesAnExpiryThatCheckReports)
{
    const std::string installer = MakeFileOfSize("setup.exe", 10);
    const std::string info = PathOf("update.txt");
    const ToolRun write = Run("write --installer " + Quoted(installer) +
                              " --version 2.5.0.301 --notes https://h/n --url https://h/s --expires-in 30 --out " +
                              Quoted(info));
    EXPECT_RUN(write, 0, "updaters refuse the file from ");
    const std::string body = testsupport::ReadFileBytes(info);
    const size_t nToken = body.find("\r\nexpires=");
    ASSERT_NE(nToken, std::string::npos) << body;
    EXPECT_EQ(body.substr(nToken + 29), "Z\r\n") << body;

    const ToolRun check = Run("check " + Quoted(info));
    EXPECT_EQ(check.dwExitCode, 0u) << Describe(check);
    EXPECT_NE(check.out.find("expires            " + body.substr(nToken + 10, 20) + " (in 29 days and 23 hours)"),
              std::string::npos)
        << Describe(check);
}

TEST_F(UpdateInfoToolTest, CheckRefusesExpiredInformationAndAddressesTheUpdaterWouldNotTake)
{
    struct Case
    {
        const char* pszBody;
        const char* pszMessage;
    };
    const Case cases[] = {
        {"2.5.0.301 10 https://h/n https://h/s expires=2000-01-01T00:00:00Z",
         "the file expired at 2000-01-01T00:00:00Z, "},
        {"2.5.0.301 10 https://h/n https://h/s expires=2027-01-07",
         "the token \"expires=2027-01-07\" does not give a UTC time such as expires=2027-01-07T12:00:00Z"},
        {"2.5.0.301 10 https://h/n https://h/s expires=2099-01-01T00:00:00Z expires=2099-01-01T00:00:00Z",
         "the expires= token is given more than once"},
        {"2.5.0.301 10 https://h/n https://h/s rollout=5.25", "the token \"rollout=5.25\" does not give a percent"},
        {"2.5.0.301 10 https://h/n https://h/s rollout=5 rollout=5", "the rollout= token is given more than once"},
        {"2.5.0.301 10 https://h/n \\\\server\\share\\setup.exe",
         "the installer address (field 4) \"\\\\server\\share\\setup.exe\" is not an http:// or https:// address"},
        {"2.5.0.301 10kB file:///C:/setup.exe",
         "the installer address (field 4) \"file:///C:/setup.exe\" is not an http:// or https:// address"},
        {"2.5.0.301 10 https://h/n https://h/s mirror=https://m/s mirror=http://m/s",
         "the mirror \"http://m/s\" is not an https:// address: the updater would reject the file before"},
        {"2.5.0.301 10 https://h/n https://h/s mirror=file:///C:/s", "does not give an http:// or https:// address"},
        {"2.5.0.301 10 https://h/n https://h/s mirror=https://m/s mirror=https://m/s", "is given more than once"},
        {"2.5.0.301 10 https://h/n https://h/s mirror=https://1/s mirror=https://2/s mirror=https://3/s "
         "mirror=https://4/s mirror=https://5/s", "more than 4 mirror= tokens, from \"mirror=https://5/s\" on"},
    };
    for (const Case& c : cases)
        EXPECT_RUN(CheckBody(c.pszBody), 1, c.pszMessage);
    // An expiry still ahead is no word the updater ignores.
    EXPECT_EQ(CheckBody("2.5.0.301 10 https://h/n https://h/s expires=2099-01-01T00:00:00Z").dwExitCode, 0u);
}

TEST_F(UpdateInfoToolTest, WriteGivesMirrorsThatCheckListsAndRefusesAnyTheUpdaterWouldNot)
{
    const std::string write = "write --installer " + Quoted(MakeFileOfSize("setup.exe", 10)) +
                              " --version 2.5.0.301 --notes https://h/n --url https://h/s --mirror https://m/s";
    const std::string info = PathOf("update.txt");
    EXPECT_RUN(Run(write + " --mirror http://127.0.0.1/s --out " + Quoted(info)), 0, "vxzsp-2.5.0.301.exe");
    EXPECT_EQ(testsupport::ReadFileBytes(info),
              "2.5.0.301\r\n10\r\nhttps://h/n\r\nhttps://h/s\r\nmirror=https://m/s\r\nmirror=http://127.0.0.1/s\r\n");
    const ToolRun check = Run("check " + Quoted(info));
    EXPECT_EQ(check.dwExitCode, 0u) << Describe(check);
    const size_t nInstaller = check.out.find("installer address  https://h/s");
    const size_t nFirst = check.out.find("mirror             https://m/s");
    const size_t nSecond = check.out.find("mirror             http://127.0.0.1/s");
    EXPECT_TRUE(nInstaller < nFirst && nFirst < nSecond && nSecond != std::string::npos) << Describe(check);

    const std::string other = PathOf("other.txt");
    const struct
    {
        const char* pszMore;
        const char* pszMessage;
    } refused[] = {
        {" --mirror http://m2/s", "the mirror \"http://m2/s\" is not an https:// address"},
        {" --mirror https://h/s", "is the installer address itself"},
        {" --mirror https://m/s", "is given twice"},
        {" --mirror https://2/s --mirror https://3/s --mirror https://4/s --mirror https://5/s",
         "5 mirrors are given, more than 4"},
    };
    for (const auto& r : refused)
        EXPECT_RUN(Run(write + r.pszMore + " --out " + Quoted(other)), 1, r.pszMessage);
    EXPECT_FALSE(std::ifstream(other).good()) << "a failed write left a file behind";
}

// The identity 00 01 .. 0F falls into bucket 1590 of version 2.5.0.301
// (tests/update/rollout_share_test.cpp).
TEST_F(UpdateInfoToolTest, WriteGivesARolloutThatCheckShowsWithThisComputersPlaceInIt)
{
    const struct Cleared
    {
        Cleared() { testsupport::ClearProductKeys(); }
        ~Cleared() { testsupport::ClearProductKeys(); }
    } cleared;
    const std::string info = PathOf("update.txt");
    EXPECT_RUN(Run("write --installer " + Quoted(MakeFileOfSize("setup.exe", 10)) +
                   " --version 2.5.0.301 --notes https://h/n --url https://h/s --rollout 16.0 --out " + Quoted(info)),
               0, "vxzsp-2.5.0.301.exe");
    EXPECT_NE(testsupport::ReadFileBytes(info).find("https://h/s\r\nrollout=16\r\n"), std::string::npos);
    const ToolRun none = Run("check " + Quoted(info));
    for (const char* pszSeen :
         {"rollout            16 % of installations", "has no installation identity yet; the updater makes one"})
        EXPECT_NE(none.out.find(pszSeen), std::string::npos) << pszSeen << "\n" << Describe(none);

    const BYTE id[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    ASSERT_TRUE(testsupport::WriteValue(HKEY_CURRENT_USER, testsupport::kSettingsKey, "InstallationId", REG_BINARY,
                                        id, sizeof(id)));
    const ToolRun in = Run("check " + Quoted(info));
    EXPECT_NE(in.out.find("this computer      in the share (bucket 1590 of 10000)"), std::string::npos)
        << Describe(in);
    const ToolRun out = CheckBody("2.5.0.301 10 https://h/n https://h/s rollout=15.9");
    EXPECT_NE(out.out.find("this computer      not in the share (bucket 1590 of 10000)"), std::string::npos)
        << Describe(out);
}

TEST_F(UpdateInfoToolTest, CheckComparesTheInstallerWithTheAnnouncedSize)
{
    const std::string info =
        MakeInfoFile("update.txt", "2.5.0.301\r\n1000\r\nhttps://h/n\r\nhttps://h/s\r\n");
    const std::string same = MakeFileOfSize("same.exe", 1000);
    const std::string longer = MakeFileOfSize("longer.exe", 1001);
    // Only the whole 64-bit size matches: 4 GiB more is another file.
    const std::string wrapped = MakeFileOfSize("wrapped.exe", 4294967296LL + 1000);

    EXPECT_EQ(Run("check " + Quoted(info) + " --installer " + Quoted(same)).dwExitCode, 0u);
    EXPECT_RUN(Run("check " + Quoted(info) + " --installer " + Quoted(longer)), 1,
               "would delete the download and report a failure");
    EXPECT_RUN(Run("check " + Quoted(info) + " --installer " + Quoted(wrapped)), 1,
               "would delete the download");
    EXPECT_RUN(Run("check " + Quoted(info) + " --installer " + Quoted(PathOf("absent.exe"))), 1,
               "no installer");
}

// Update information signed with plain openssl at build time
// (tests/update/sign-update-info) with the test keys a, b and c.
std::string TestKeys(const std::string& name)
{
    return Quoted((testsupport::BinDir().parent_path() / "test-keys" / name).string());
}

TEST_F(UpdateInfoToolTest, CheckVerifiesTheSignatureAsTheUpdaterDoes)
{
    const std::string signedA = TestKeys("update-info/signed-a.txt");
    const std::string keyA = " --key " + TestKeys("a.pub.pem");
    const ToolRun good = Run("check " + signedA + keyA);
    EXPECT_EQ(good.dwExitCode, 0u) << Describe(good);
    EXPECT_NE(good.out.find("signature          valid"), std::string::npos) << Describe(good);
    // Rotation: any one of the keys.
    const ToolRun rotated = Run("check " + TestKeys("update-info/signed-b.txt") + keyA + " --key " +
                                TestKeys("b.pub.pem"));
    EXPECT_EQ(rotated.dwExitCode, 0u) << Describe(rotated);

    std::string changed = testsupport::ReadFileBytes((testsupport::BinDir().parent_path() / "test-keys" /
                                         "update-info" / "signed-a.txt").string());
    changed.replace(changed.find("2.5.0.301"), 9, "2.5.0.302");
    const std::string changedPath = MakeInfoFile("changed.txt", changed);
    const std::string unsignedPath = MakeInfoFile("unsigned.txt", changed.substr(0, changed.find("signature=")));
    const char kBadSignature[] = "the file was changed after it was signed, or signed with another key";
    EXPECT_RUN(Run("check " + TestKeys("update-info/signed-c.txt") + keyA), 1, kBadSignature);
    EXPECT_RUN(Run("check " + Quoted(changedPath) + keyA), 1, kBadSignature);
    EXPECT_RUN(Run("check " + Quoted(unsignedPath) + keyA), 1, "has no signature= token");
    EXPECT_RUN(Run("check " + TestKeys("update-info/signed-a-without-digest.txt") + keyA), 1,
               "has no sha256= token");
    EXPECT_RUN(Run("check " + TestKeys("update-info/signed-a-without-expiry.txt") + keyA), 1,
               "has no expires= token: an updater built with this key would reject the file");
    EXPECT_RUN(Run("check " + TestKeys("update-info/signed-a-without-expiry.txt")), 2,
               "has no expires= token: updaters built with the publisher's keys would reject it");
    // With keys or without, the updater takes no installer over plain http.
    for (const std::string& keys : {keyA, std::string()})
        EXPECT_RUN(Run("check " + TestKeys("update-info/signed-a-plain-http.txt") + keys), 1,
                   "is not an https:// address: the updater would reject the file before "
                   "downloading anything");
    EXPECT_RUN(Run("check " + signedA + " --key " + TestKeys("a.pem")), 1,
               "is not a public key in PEM form");
    EXPECT_RUN(Run("check " + signedA + " --key " + TestKeys("absent.pem")), 1, "no public key");
    // Without keys the signature is not checked, and the file is fine.
    EXPECT_RUN(Run("check " + Quoted(changedPath)), 0, "give the public keys with --key");
}

TEST_F(UpdateInfoToolTest, CheckComparesTheInstallersDigest)
{
    const std::string installer = MakeFileOfSize("setup.exe", 3);
    const std::string fields = "2.5.0.301 3 https://h/n https://h/s sha256=";
    // SHA-256 of three zero bytes.
    const std::string digest = "709e80c88487a2411e1ee4dfb9f22a861492d20c4765150c0c794abd70f8147c";
    EXPECT_EQ(Run("check " + Quoted(MakeInfoFile("good.txt", fields + digest)) + " --installer " +
                  Quoted(installer)).dwExitCode, 0u);
    EXPECT_RUN(Run("check " + Quoted(MakeInfoFile("bad.txt", fields + std::string(64, '0'))) +
                   " --installer " + Quoted(installer)),
               1, "has the SHA-256 " + digest);
    EXPECT_RUN(CheckBody(fields + "0"), 1, "does not give the installer's SHA-256 as 64 hexadecimal digits");
    EXPECT_RUN(CheckBody(fields + digest + " signature=AAAA x"), 1, "must be the last thing in the file");
}

TEST_F(UpdateInfoToolTest, WriteSignsWithAPrivateKeyOrSaysWhyItCannot)
{
    const std::string installer = MakeFileOfSize("setup.exe", 3);
    const std::string info = PathOf("update.txt");
    const ToolRun write = Run("write --installer " + Quoted(installer) +
                              " --version 2.5.0.301 --notes https://h/n --url https://h/s --key " +
                              TestKeys("a.pem") + " --expires-in 30 --out " + Quoted(info));
    if (write.dwExitCode == 0)
    {
        const ToolRun check = Run("check " + Quoted(info) + " --installer " + Quoted(installer) +
                                  " --key " + TestKeys("a.pub.pem"));
        EXPECT_EQ(check.dwExitCode, 0u) << Describe(check);
    }
    else
    {
        // Wine's crypt32 does not decode EC private keys.
        EXPECT_RUN(write, 1, "sign the file with openssl instead");
        EXPECT_FALSE(std::ifstream(info).good()) << "a failed write left a file behind";
    }
    const std::string fields = "write --installer " + Quoted(installer) + " --version 2.5.0.301 --notes https://h/n";
    EXPECT_RUN(Run(fields + " --url https://h/s --expires-in 30 --key " + TestKeys("a.pub.pem")), 1,
               "is not a private key in PEM form");
    EXPECT_RUN(Run(fields + " --url https://h/s --key " + TestKeys("a.pem")), 64,
               "write with --key needs --expires-in DAYS");
    // Updaters fetch the installer over https only, with keys or without.
    EXPECT_RUN(Run(fields + " --url http://h/s --expires-in 30 --key " + TestKeys("a.pem")), 1,
               "is not an https:// address: the updater would reject the file");
    EXPECT_RUN(Run(fields + " --url http://h/s"), 1, "is not an https:// address: the updater would reject the file");
}

TEST_F(UpdateInfoToolTest, CheckSaysWhenTheFileItselfIsMissing)
{
    EXPECT_RUN(Run("check " + Quoted(PathOf("absent.txt"))), 1, "no update-information file");
    EXPECT_RUN(Run("check " + Quoted(m_dir.String())), 1, "is a folder");
}

} // namespace
