#include "update/info/update_policy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Id = PolicyValueId;
constexpr uint32_t kSz = kPolicyRegSz;
constexpr uint32_t kDword = kPolicyRegDword;
constexpr uint32_t kExpandSz = 2;
constexpr uint32_t kQword = 11;

std::string Dword(uint32_t value)
{
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

// What a policy makes the updater do, in one line to compare.
std::string Describe(const UpdatePolicy& policy)
{
    const char* pszUpdates = policy.updates == UpdatesAllowed::None         ? "none"
                             : policy.updates == UpdatesAllowed::ManualOnly ? "manual"
                                                                            : "all";
    return std::string(pszUpdates) + "|" + policy.targetPrefixText + "|" + policy.updateInfoUrl +
           "|" + policy.downloadPageUrl + "|" + (policy.bSkipAndRemindAllowed ? "skip" : "no-skip") +
           (policy.IsManaged() ? "|managed" : "");
}

TEST(UpdatePolicy, EachValueIsTakenOnlyInItsOwnForm)
{
    const std::string tooLong = "https://e.test/" + std::string(245, 'a');
    const std::string longest = tooLong.substr(0, kMaxPolicyText);
    const std::string longestTaken = "all||" + longest + "||skip|managed";
    const struct
    {
        Id id;
        uint32_t type;
        std::string data;
        const char* pszTaken; // null: ignored, the policy stays as without it
    } rows[] = {
        {Id::UpdatesEnabled, kDword, Dword(0), "none||||skip|managed"},
        {Id::UpdatesEnabled, kDword, Dword(1), "all||||skip"},
        {Id::UpdatesEnabled, kDword, Dword(2), "manual||||skip|managed"},
        {Id::UpdatesEnabled, kDword, Dword(3), nullptr},
        {Id::UpdatesEnabled, kSz, "0", "none||||skip|managed"},
        {Id::UpdatesEnabled, kSz, " 0", nullptr},
        {Id::UpdatesEnabled, kExpandSz, "0", nullptr},
        {Id::UpdatesEnabled, kQword, Dword(0) + Dword(0), nullptr},
        {Id::UpdatesEnabled, kDword, "\0\0", nullptr},
        {Id::TargetVersionPrefix, kSz, "2.5", "all|2.5|||skip|managed"},
        {Id::TargetVersionPrefix, kSz, "2.5.1.300", "all|2.5.1.300|||skip|managed"},
        {Id::TargetVersionPrefix, kSz, "2.5.", nullptr},
        {Id::TargetVersionPrefix, kSz, "v2.5", nullptr},
        {Id::TargetVersionPrefix, kSz, "2.5.1.300.1", nullptr},
        {Id::TargetVersionPrefix, kSz, "1234567890", nullptr},
        {Id::TargetVersionPrefix, kDword, Dword(2), nullptr},
        {Id::UpdateInfoUrl, kSz, "https://updates.corp.test/zsp.txt",
         "all||https://updates.corp.test/zsp.txt||skip|managed"},
        {Id::UpdateInfoUrl, kSz, "http://127.0.0.1:8080/z", "all||http://127.0.0.1:8080/z||skip|managed"},
        {Id::UpdateInfoUrl, kSz, "http://updates.corp.test/zsp.txt", nullptr},
        {Id::UpdateInfoUrl, kSz, "file:///C:/zsp.txt", nullptr},
        {Id::UpdateInfoUrl, kSz, "https://corp.test/a b", nullptr},
        {Id::UpdateInfoUrl, kSz, tooLong, nullptr},
        {Id::UpdateInfoUrl, kSz, longest, longestTaken.c_str()},
        {Id::DownloadPageUrl, kSz, "https://intranet.test/zsp", "all|||https://intranet.test/zsp|skip|managed"},
        {Id::DownloadPageUrl, kSz, "\\\\server\\share\\zsp", nullptr},
        {Id::SkipAndRemindAllowed, kDword, Dword(0), "all||||no-skip|managed"},
        {Id::SkipAndRemindAllowed, kSz, "1", "all||||skip"},
        {Id::SkipAndRemindAllowed, kDword, Dword(2), nullptr},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(kPolicyValues[static_cast<int>(row.id)].pszName + (": " + row.data));
        UpdatePolicy policy;
        EXPECT_EQ(TakePolicyValue(row.id, {row.type, row.data}, policy), row.pszTaken != nullptr);
        EXPECT_EQ(Describe(policy), row.pszTaken != nullptr ? row.pszTaken : "all||||skip");
    }
}

} // namespace
