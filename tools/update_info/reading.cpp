#include "tools/update_info/reading.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <locale>
#include <sstream>

#include "update/info/web_address.h"

namespace infotool {

namespace {

// The field names used in messages, in the order of the file.
const char* const kFieldNames[] = {
    "the version (field 1)",
    "the installer size (field 2)",
    "the release-notes address (field 3)",
    "the installer address (field 4)",
};
constexpr size_t kFieldCount = sizeof(kFieldNames) / sizeof(kFieldNames[0]);

const char kRejected[] = ": the updater would reject the file";

// A mirror= token refused: a repeat, no web address, or one too many.
void ExplainMirror(const UpdateInfoReading& reading, CReport& report)
{
    const std::string& word = reading.word;
    if (reading.bRepeated)
        report.Error("the token " + Quote(word) + " is given more than once" + kRejected);
    else if (!IsWebAddress(word.substr(std::strlen(kMirrorToken))))
        report.Error("the token " + Quote(word) +
                     " does not give an http:// or https:// address: the updater does not start "
                     "an installer from a shared folder or a file: address" + kRejected);
    else
        report.Error("the file has more than " + std::to_string(kMaxMirrors) +
                     " mirror= tokens, from " + Quote(word) + " on" + kRejected);
}

// How the reader's unsigned extraction takes the size word on its own.
struct SizeReading
{
    explicit SizeReading(const std::string& word)
    {
        std::istringstream in(word);
        in.imbue(std::locale::classic());
        uint32_t nRead = 0;
        in >> nRead;
        bNumber = !in.fail();
        bWhole = bNumber && in.peek() == std::char_traits<char>::eof();
        bNegative = !word.empty() && word[0] == '-';
        n = nRead;
        const size_t nDigitsFrom = (!word.empty() && (word[0] == '+' || word[0] == '-')) ? 1 : 0;
        bDigitsOnly = word.size() > nDigitsFrom &&
                      word.find_first_not_of("0123456789", nDigitsFrom) == std::string::npos;
    }

    bool bNumber;
    bool bWhole;
    bool bNegative;
    bool bDigitsOnly;
    uint32_t n;
};

// A field the reader did not get to, or a size it could not take.
void ExplainFields(const UpdateInfoReading& reading, CReport& report)
{
    // Only the size can be there and still fail its extraction.
    if (!reading.word.empty())
    {
        CheckSizeWord(reading.word, nullptr, report);
        return;
    }
    const size_t nFields = std::min(reading.nFields, kFieldCount - 1);
    report.Error("the file has " + std::to_string(nFields) + " of the four fields: " +
                 kFieldNames[nFields] + " is missing, so the updater would reject the file");
    if (!reading.sizeWord.empty())
        CheckSizeWord(reading.sizeWord, nullptr, report);
}

} // namespace

void CheckSizeWord(const std::string& word, const UpdateInfo* pRead, CReport& report)
{
    const SizeReading size(word);
    const std::string field = std::string(kFieldNames[1]) + " " + Quote(word);
    if (!size.bNumber && size.bDigitsOnly)
        report.Error(field + " is out of the 32-bit range: the largest size the updater reads is "
                             "4294967295 bytes, so it would reject the file");
    else if (!size.bNumber)
        report.Error(field + " is not a number of bytes, so the updater would reject the file");
    else if (!size.bWhole)
        report.Error(field + " is not a plain number of bytes: the updater reads " +
                     std::to_string(size.n) +
                     (pRead != nullptr
                          ? " and takes " + Quote(pRead->releaseNotesUrl) + " as " + kFieldNames[2]
                          : std::string(" and takes the rest as the next field")));
    else if (size.bNegative)
        report.Error(field + " is negative: the updater reads it as " + std::to_string(size.n) +
                     " bytes");
}

void ExplainRejection(const std::string& path, const UpdateInfoReading& reading,
                      CReport& report)
{
    const std::string& word = reading.word;
    switch (reading.fault)
    {
    case UpdateInfoFault::TooLarge:
        report.Error(Quote(path) + " is larger than 64 KiB (65536 bytes), the most the updater "
                                   "reads: it would reject the file");
        return;
    case UpdateInfoFault::ControlCharacter:
        report.Error("the word " + Quote(word) +
                     " holds a NUL or another control character, which no field or token may "
                     "hold" + kRejected);
        return;
    case UpdateInfoFault::Version:
        report.Error("the version " + Quote(word) +
                     " does not start with three numbers separated by dots, such as 2.5.0.301" +
                     kRejected);
        return;
    case UpdateInfoFault::InstallerAddress:
        report.Error(std::string(kFieldNames[3]) + " " + Quote(word) +
                     " is not an http:// or https:// address: the updater does not start an "
                     "installer from a shared folder or a file: address" + kRejected);
        return;
    case UpdateInfoFault::Digest:
        report.Error(reading.bRepeated
                         ? "the sha256= token is given more than once" + std::string(kRejected)
                         : "the token " + Quote(word) +
                               " does not give the installer's SHA-256 as 64 hexadecimal digits" +
                               kRejected);
        return;
    case UpdateInfoFault::Expiry:
        report.Error(reading.bRepeated
                         ? "the expires= token is given more than once" + std::string(kRejected)
                         : "the token " + Quote(word) +
                               " does not give a UTC time such as expires=2027-01-07T12:00:00Z" +
                               kRejected);
        return;
    case UpdateInfoFault::Mirror:
        ExplainMirror(reading, report);
        return;
    case UpdateInfoFault::Rollout:
        report.Error(reading.bRepeated
                         ? "the rollout= token is given more than once" + std::string(kRejected)
                         : "the token " + Quote(word) +
                               " does not give a percent from 0 to 100 with at most one decimal, "
                               "such as rollout=12.5" + kRejected);
        return;
    case UpdateInfoFault::Signature:
        report.Error("the signature= token does not hold standard base64 with padding" +
                     std::string(kRejected));
        return;
    case UpdateInfoFault::AfterSignature:
        report.Error("text follows the signature= token, which must be the last thing in the "
                     "file" + std::string(kRejected));
        return;
    case UpdateInfoFault::Fields:
    case UpdateInfoFault::None:
        ExplainFields(reading, report);
        return;
    }
}

} // namespace infotool
