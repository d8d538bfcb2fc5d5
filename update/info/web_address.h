// The rules for the web addresses that the update information names.
//
// Plain portable C++ without Windows headers: the addresses come from the
// network, and these rules also build natively for fuzzing.
#pragma once

#include <string>

// An http or https address with a host, written only in the characters an
// address may hold (letters, digits, "-._~:/?#[]@!$&()*+,;=" and %-escapes):
// the only addresses the updater fetches from or hands to the shell. A UNC
// path, a file: URL, or text with a quote, a space, a control character or
// a NUL (which would end it early for the system) is not one.
bool IsWebAddress(const std::string& url);
// A web address that nobody on the way can read or change: https, or http to
// this computer's own loopback host (127.0.0.0/8, [::1], localhost), which
// never leaves the machine.
bool IsSecureWebAddress(const std::string& url);
