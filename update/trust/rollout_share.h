// Where an installation stands in a staged release: its bucket for a
// version, drawn from its own random identity and the version together, so
// that each release reaches another share of the installations and the
// same few are not always the first.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "update/info/rollout.h"
#include "update/info/version_number.h"

// Sixteen random bytes, made once per user and kept in the settings key.
using InstallationId = std::array<uint8_t, 16>;
constexpr char kInstallationIdValue[] = "InstallationId";

// The first four bytes of the SHA-256 of the identity followed by the
// version's text, read as a big-endian number, modulo kRolloutBuckets.
// Where the digest cannot be had, the last bucket: such an installation
// waits for the whole release.
uint32_t RolloutBucket(const InstallationId& id, const VersionNumber& version);

// The identity as the settings key holds it: REG_BINARY of exactly 16
// bytes. False, with id untouched, for a missing or malformed value.
bool ReadInstallationId(HKEY hSettingsKey, InstallationId& id);
