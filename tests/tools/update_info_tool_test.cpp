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

namespace {

using testsupport::Quoted;

constexpr DWORD kRunTimeoutMs = 20000;
constexpr DWORD kNotRun = 0xFFFFFFFF;

constexpr char kNotes[] = "http://h/notes.html";
constexpr char kSetup[] = "https://h/setup.exe";

struct ToolRun
{
    DWORD dwExitCode = kNotRun;
    std::string out;
    std::string err;
};

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
    // it has ended.
    ToolRun Run(const std::string& arguments) const
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
            startup.hStdOutput = out.Get();
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
        run.out = ReadWholeFile(outPath);
        run.err = ReadWholeFile(errPath);
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
    EXPECT_EQ(ReadWholeFile(info),
              "2.5.0.301\r\n1234\r\nhttp://h/notes.html\r\nhttps://h/setup.exe\r\n");

    const ToolRun check = Run("check " + Quoted(info) + " --installer " + Quoted(installer));
    EXPECT_EQ(check.dwExitCode, 0u) << Describe(check);
    EXPECT_EQ(check.err, "");
    for (const char* pszSeen : {"2.5.0.301", "1234 bytes", kNotes, kSetup, "vxzsp-2.5.0.301.exe"})
        EXPECT_NE(check.out.find(pszSeen), std::string::npos) << pszSeen << "\n" << Describe(check);
}

TEST_F(UpdateInfoToolTest, StandardOutputGetsTheSameBytesAsAFile)
{
    const std::string installer = MakeFileOfSize("setup.exe", 77);
    const ToolRun write = Write(installer, "3.0.1.9", kNotes, kSetup, "");
    EXPECT_EQ(write.dwExitCode, 0u) << Describe(write);
    EXPECT_EQ(write.out, "3.0.1.9\r\n77\r\nhttp://h/notes.html\r\nhttps://h/setup.exe\r\n");
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
    EXPECT_RUN(Write(installer, "2.5.0.301", "http://h/release notes.html", kSetup, info), 1,
               "white space");
    EXPECT_RUN(Write(installer, "2.5.0.301", kNotes, "http://h/my setup.exe", info), 1,
               "white space");
    EXPECT_RUN(Write(installer, "2.5.0.301", kNotes, "", info), 1, "empty");
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
    EXPECT_EQ(ReadWholeFile(info), "2.5.1\r\n10\r\nhttp://h/notes.html\r\nhttps://h/setup.exe\r\n");

    const ToolRun check = Run("check " + Quoted(info));
    EXPECT_RUN(check, 2, "will be read as 2.5.1.0");
    EXPECT_NE(check.out.find("vxzsp-2.5.1.0.exe"), std::string::npos) << Describe(check);
}

TEST_F(UpdateInfoToolTest, CommandLineMistakesAreUsageErrors)
{
    const std::string installer = MakeFileOfSize("setup.exe", 10);
    const std::string complete = "--installer " + Quoted(installer) +
                                 " --version 2.5.0.301 --notes http://h/n --url http://h/s";
    const char* const wrong[] = {
        "",
        "publish",
        "write --version 2.5.0.301 --notes http://h/n --url http://h/s",
        "write --installer",
        "write --installer --version 2.5.0.301 --notes http://h/n --url http://h/s",
        "check",
        "check a.txt b.txt",
        "check a.txt --size 10",
    };
    for (const char* pszArguments : wrong)
        EXPECT_RUN(Run(pszArguments), 64, "--help");
    EXPECT_RUN(Run("write " + complete + " --url http://h/again"), 64, "twice");
    EXPECT_RUN(Run("write " + complete + " --colour blue"), 64, "--colour");

    const ToolRun help = Run("--help");
    EXPECT_EQ(help.dwExitCode, 0u) << Describe(help);
    for (const char* pszPart : {"update-info write", "update-info check", "64"})
        EXPECT_NE(help.out.find(pszPart), std::string::npos) << pszPart;
}

TEST_F(UpdateInfoToolTest, CheckReadsUpTo64KiBAndRejectsMore)
{
    const std::string fields = "2.5.0.301 10 http://h/n http://h/s\r\n";
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
        {"2.5.0.301 10 http://h/n", "the installer address (field 4) is missing"},
        {"2.5.0.301 big http://h/n http://h/s",
         "the installer size (field 2) \"big\" is not a number"},
        {"2.5.0.301 4294967296 http://h/n http://h/s", "out of the 32-bit range"},
        // The reader takes "10" as the size and "kB" as the release notes.
        {"2.5.0.301 10kB http://h/n http://h/s", "takes \"kB\" as the release-notes address"},
        {"2.5.0.301 10kB", "the installer address (field 4) is missing"},
        {"2.5.0.301 -1 http://h/n http://h/s", "reads it as 4294967295"},
    };
    for (const Case& c : cases)
        EXPECT_RUN(CheckBody(c.pszBody), 1, c.pszMessage);
}

TEST_F(UpdateInfoToolTest, CheckRejectsAVersionTheUpdaterCannotCompare)
{
    EXPECT_RUN(CheckBody("latest 10 http://h/n http://h/s"), 1, "never be offered");
    EXPECT_RUN(CheckBody("\xEF\xBB\xBF"
                         "2.5.0.301 10 http://h/n http://h/s"),
               1, "byte-order mark");

    // Two numbers are compared, but the text stays the fresh 0.0.0.0.
    const ToolRun twoNumbers = CheckBody("2.5 10 http://h/n http://h/s");
    EXPECT_RUN(twoNumbers, 1, "compare it as 2.5.0");
    EXPECT_NE(twoNumbers.err.find("vxzsp-0.0.0.0.exe"), std::string::npos) << Describe(twoNumbers);
}

TEST_F(UpdateInfoToolTest, CheckWarnsOfWhatTheUpdaterSkipsOrIgnores)
{
    const ToolRun notes = CheckBody("2.5.0.301 10 file:///c:/notes.html http://h/s");
    EXPECT_RUN(notes, 2, "would not show the release notes");
    EXPECT_NE(notes.out.find("vxzsp-2.5.0.301.exe"), std::string::npos) << Describe(notes);

    EXPECT_RUN(CheckBody("2.5.0.301 10 http://h/n http://h/s # second build"), 2,
               "3 more words after the fourth field, from \"#\": the updater ignores them");
    EXPECT_RUN(CheckBody("2.5.0.301.7 10 http://h/n http://h/s"), 2, "will be read as 2.5.0.301");
}

TEST_F(UpdateInfoToolTest, CheckComparesTheInstallerWithTheAnnouncedSize)
{
    const std::string info =
        MakeInfoFile("update.txt", "2.5.0.301\r\n1000\r\nhttp://h/n\r\nhttp://h/s\r\n");
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

TEST_F(UpdateInfoToolTest, CheckSaysWhenTheFileItselfIsMissing)
{
    EXPECT_RUN(Run("check " + Quoted(PathOf("absent.txt"))), 1, "no update-information file");
    EXPECT_RUN(Run("check " + Quoted(m_dir.String())), 1, "is a folder");
}

} // namespace
