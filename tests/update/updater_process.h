// Prepares a test process the way the updater's entry prepares its own: the
// module, the resource library as resource instance, the activation message,
// the common controls and COM.
#pragma once

// True when res.dll could be loaded beside the test program.
bool PrepareProcessLikeTheUpdater();
