// Reads the organisation's policy for updates from the registry, afresh at
// every run: the machine's values first, then the user's for what the
// machine leaves unset. Each value is judged on its own, so one bad value
// leaves the others in force.
#pragma once

#include "update/info/update_policy.h"

UpdatePolicy ReadGroupPolicy();
