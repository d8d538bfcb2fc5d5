// What the loopback test server (tests/http/zsp_test_server.py) serves: the
// files under its root folder in the build tree, each with an optional
// fault sidecar, and the log of the requests it received.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The server's root folder: <build>/test-http/root.
std::filesystem::path HttpRoot();

// Serves bytes at urlPath (e.g. "/zsp/update.txt"). A non-empty fault is
// written as the file's sidecar, read by the server on every request: one
// of the fault lines listed in tests/http/zsp_test_server.py, e.g.
// "status N", "truncate N", "cut OFFSET [COUNT]" or "norange". An empty
// fault removes the sidecar.
void ServeFile(const std::string& urlPath, const std::string& bytes, const std::string& fault = "");

// Removes every served file, sidecar and the request log.
void ClearHttpRoot();

// The requests received since the last ClearHttpRoot, oldest first, one
// JSON object each as the server wrote it, e.g.
// {"time": 1.5, "method": "GET", "path": "/zsp/update.txt", "headers": {"Pragma": "no-cache"}}
std::vector<std::string> HttpRequests();

// The answers to GET requests that ended since the last ClearHttpRoot, in
// the order they ended, one JSON object each as the server wrote it, e.g.
// {"time": 1.5, "path": "/zsp/setup.exe", "status": 206, "from": 600,
//  "length": 400, "sent": 400, "complete": true, "client_left": false}
// where "from" is the file offset at which the body began.
std::vector<std::string> HttpResponses();

// The bytes of body sent in those answers for urlPath (with or without a
// query), added up: what a client fetched of the file over all its tries.
unsigned long long BytesSent(const std::string& urlPath);

// A number or true/false field of one such JSON line; 0 or false if absent.
unsigned long long JsonNumber(const std::string& line, const char* pszField);
bool JsonTrue(const std::string& line, const char* pszField);

struct HttpResponse
{
    unsigned long dwStatus = 0;
    std::string body;
};

// Fetches a URL as the updater does: straight from the network, bypassing
// and not filling the cache. Throws std::runtime_error when nothing answers.
HttpResponse Fetch(const std::string& url);

// The full address of urlPath on the test server.
std::string HttpUrl(const std::string& urlPath);

} // namespace testsupport
